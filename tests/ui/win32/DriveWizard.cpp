// The operator of the end-to-end test: plays an answers file against the
// wizard's windows in another process, by window messages only, as a user's
// mouse and keyboard would. Windows are found by the names the backend puts
// on them (the "T7Name" property, a global atom).
//   t7drive ANSWERS_FILE     exit 0 when every action was played
#include <windows.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "base/Text.h"
#include "forms/Script.h"
#include "shell/Wizard.h"

namespace {

using namespace std::chrono_literals;

std::wstring nameOf(HWND hwnd) {
    const auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(hwnd, L"T7Name")));
    if (!atom) return {};
    wchar_t name[256] = {};
    return std::wstring(name, GlobalGetAtomNameW(atom, name, 256));
}

// Names as the forms runtime compares them: in any letter case (an atom
// keeps the case of its first use, "cmdOK" of one form, "cmdOk" of another).
bool sameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

struct Search {
    std::wstring name;
    HWND found = nullptr;
};

BOOL CALLBACK findForm(HWND hwnd, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) && sameName(nameOf(hwnd), search->name)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findBox(HWND hwnd, LPARAM data) {
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (std::wstring(cls) == L"#32770" && IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(data) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Waits for what the wizard shows next (it works between two actions), up
// to a minute.
template <class F>
HWND waitFor(F&& find) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (HWND hwnd = find()) return hwnd;
        std::this_thread::sleep_for(100ms);
    }
    return nullptr;
}

HWND control(const t7::ScriptAction& action) {
    std::wstring name = action.control;
    if (action.index >= 0) name += L"(" + std::to_wstring(action.index) + L")";
    return waitFor([&]() -> HWND {
        Search form{action.form};
        EnumWindows(findForm, reinterpret_cast<LPARAM>(&form));
        if (!form.found) return nullptr;
        for (HWND child = GetWindow(form.found, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (sameName(nameOf(child), name) && IsWindowVisible(child) && IsWindowEnabled(child))
                return child;
        }
        return nullptr;
    });
}

bool play(const t7::ScriptAction& action) {
    if (action.kind == t7::ActionKind::Answer) {
        HWND box = waitFor([] {
            HWND found = nullptr;
            EnumWindows(findBox, reinterpret_cast<LPARAM>(&found));
            return found;
        });
        const int id = action.answer == t7::MsgResult::Yes  ? IDYES
                       : action.answer == t7::MsgResult::No ? IDNO
                                                            : IDOK;
        HWND button = box ? GetDlgItem(box, id) : nullptr;
        if (!button) return false;
        PostMessageW(button, BM_CLICK, 0, 0);
        // The box goes before the next action looks for windows.
        waitFor([box] { return IsWindow(box) && IsWindowVisible(box) ? nullptr : GetDesktopWindow(); });
        return true;
    }
    HWND hwnd = control(action);
    if (!hwnd) return false;
    HWND parent = GetParent(hwnd);
    const auto id = static_cast<WORD>(GetDlgCtrlID(hwnd));
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    const bool combo = std::wstring(cls) == L"ComboBox";
    switch (action.kind) {
        case t7::ActionKind::Click:
            PostMessageW(hwnd, BM_CLICK, 0, 0);
            break;
        case t7::ActionKind::Type:
        case t7::ActionKind::Set:
            if (action.kind == t7::ActionKind::Set)
                SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
            for (wchar_t ch : action.text) SendMessageW(hwnd, WM_CHAR, ch, 0);
            break;
        case t7::ActionKind::Select: {
            LRESULT index = action.itemIndex ? *action.itemIndex : -1;
            if (!action.itemIndex) {
                index = SendMessageW(hwnd, combo ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT,
                                     static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(action.text.c_str()));
            }
            if (index < 0) return false;
            SendMessageW(hwnd, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(index), 0);
            PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(hwnd));
            break;
        }
        case t7::ActionKind::Answer:
            break;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: t7drive ANSWERS_FILE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    try {
        for (const t7::ScriptAction& action : t7::parseScript(text.str(), t7::Wizard::layouts())) {
            if (!play(action)) {
                std::cerr << "t7drive: line " << action.line << ": nothing to play "
                          << t7::toUtf8(t7::formatAction(action)) << " on\n";
                return 1;
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "t7drive: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
