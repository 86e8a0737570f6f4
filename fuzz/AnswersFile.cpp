// libFuzzer target for the answers-file parser. A file it accepts yields
// actions that format back into lines it reads as the same actions, as the
// recorder relies on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/Text.h"
#include "forms/Script.h"
#include "shell/Wizard.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool same(const t7::ScriptAction& a, const t7::ScriptAction& b) {
    return a.kind == b.kind && a.form == b.form && a.control == b.control && a.index == b.index &&
           a.text == b.text && a.itemIndex == b.itemIndex && a.answer == b.answer && a.secret == b.secret;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<t7::ScriptAction> actions;
    try {
        actions = t7::parseScript(text, t7::Wizard::layouts());
    } catch (const t7::ScriptError& e) {
        check(e.line() >= 1);
        return 0;
    }
    for (const t7::ScriptAction& action : actions) {
        // A line end inside a text cannot be written on one line; the
        // recorder never meets one in a single-line box.
        if (action.text.find_first_of(L"\r\n") != std::wstring::npos) continue;
        const std::string line = t7::toUtf8(t7::formatAction(action));
        const std::vector<t7::ScriptAction> back = t7::parseScript(line, t7::Wizard::layouts());
        check(back.size() == 1 && same(back[0], action));
        // The log's form never shows the text of a password box. Only the
        // value after the target's "=" counts: a text may well repeat part
        // of the box's own name.
        if (action.secret && !action.text.empty() && action.text.find_first_not_of(L"*") != std::wstring::npos) {
            const std::wstring logged = t7::formatActionForLog(action);
            const size_t equals = logged.find(L'=');
            check(logged.find(action.text, equals == std::wstring::npos ? 0 : equals + 1) == std::wstring::npos);
        }
    }
    return 0;
}
