#include "web/frmSelectIP.h"

#include <cstdint>

#include "base/Text.h"

namespace t7 {

namespace {
constexpr int kElementSpacing = 400;
}

frmSelectIP::frmSelectIP(FormsRuntime& runtime, ProcessValues& values)
    : Form(runtime, layoutTable()), m_values(values) {
    onClick(L"cmdOK", [this] { cmdOk_Click(); });
}

std::wstring frmSelectIP::captionFor(const std::wstring& entry, bool& enabled) {
    enabled = true;
    if (entry == L"0.0.0.0") {
        enabled = false;
        return entry + L"(该设备未联接到网络)";
    }
    if (entry.substr(0, 7) == L"169.254") {
        enabled = false;
        return entry + L"(该设备没有被指定一个固定IP)";
    }
    if (entry == L"127.0.0.1") return entry + L"(本机使用,不联接到网络)";
    // An empty entry (a machine without a name) has no first character: it
    // is shown bare rather than failing the whole start-up, and confirming
    // it asks for a choice, as an empty result does.
    if (entry.empty()) return entry;
    // The code page 936 code of the first character, read as a signed
    // 16-bit number: letters are above 64, digits below, and a double-byte
    // character reads as negative.
    const std::string bytes = toCp936(entry.substr(0, 1));
    int code = static_cast<unsigned char>(bytes[0]);
    if (bytes.size() >= 2) {
        code =
            static_cast<int16_t>(static_cast<uint16_t>((code << 8) | static_cast<unsigned char>(bytes[1])));
    }
    if (code > 64) return entry + L"(使用本机机器名)";
    return entry;
}

void frmSelectIP::Form_Load() {
    const std::vector<std::wstring>& entries = m_values.IPArray;
    for (size_t i = 0; i < entries.size(); ++i) {
        const int index = static_cast<int>(i);
        Control& element = index == 0 ? control(L"optIP", 0) : loadControl(L"optIP", index);
        if (index > 0) {
            element.setTop(control(L"optIP", index - 1).top() + kElementSpacing);
            element.setVisible(true);
            element.setEnabled(true);
        }
        bool enabled = true;
        element.setCaption(captionFor(entries[i], enabled));
        if (!enabled) element.setEnabled(false);
    }

    // The window grows with the list; there is no scrolling.
    const Control& last = *controlArray(L"optIP").back();
    Control& ok = control(L"cmdOK");
    if (last.top() + kElementSpacing > ok.top()) ok.setTop(last.top() + kElementSpacing);
    if (last.top() + 1200 > height()) setHeight(last.top() + 1200);

    Control& first = control(L"optIP", 0);
    if (first.enabled()) first.setValue(true);
    // This also selects a disabled element: an unusable entry 0 that is the
    // selected address is shown disabled but selected.
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == m_values.SelectedIP) {
            control(L"optIP", static_cast<int>(i)).setValue(true);
            break;
        }
    }
}

void frmSelectIP::cmdOk_Click() {
    std::wstring chosen;
    for (Control* element : controlArray(L"optIP")) {
        if (element->enabled() && element->value()) {
            const size_t i = static_cast<size_t>(element->index());
            if (i < m_values.IPArray.size()) chosen = m_values.IPArray[i];
            break;
        }
    }
    if (!chosen.empty()) {
        m_values.SelectedIP = chosen;
    } else {
        runtime().msgBox(L"请选择一个IP");
    }
    unload();
}

}  // namespace t7
