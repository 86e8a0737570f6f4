#include "Win32TestSupport.h"

#include <gtest/gtest.h>
#include <objidl.h>
// clang-format off
#include <gdiplus.h>
// clang-format on

#include <filesystem>
#include <memory>

#include "base/Text.h"
#include "ui/win32/Win32Backend.h"

namespace t7::test {
namespace {

using win32::twipsToPixels;

bool pngEncoder(CLSID& clsid) {
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    if (size == 0) return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; ++i) {
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

struct Pending {
    std::function<bool()> ready;
    std::function<void()> action;
};
std::vector<Pending> g_pending;

void CALLBACK checkPending(HWND, UINT, UINT_PTR id, DWORD) {
    for (size_t i = 0; i < g_pending.size(); ++i) {
        if (!g_pending[i].ready()) continue;
        Pending due = std::move(g_pending[i]);
        g_pending.erase(g_pending.begin() + static_cast<std::ptrdiff_t>(i));
        if (g_pending.empty()) KillTimer(nullptr, id);
        due.action();
        return;
    }
}

BOOL CALLBACK findBox(HWND hwnd, LPARAM found) {
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    // Laid out and shown: its buttons are visible.
    const bool ready = (GetDlgItem(hwnd, IDOK) && IsWindowVisible(GetDlgItem(hwnd, IDOK))) ||
                       (GetDlgItem(hwnd, IDNO) && IsWindowVisible(GetDlgItem(hwnd, IDNO)));
    if (std::wstring(cls) == L"#32770" && IsWindowVisible(hwnd) && ready) {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A label one line high shows its whole design text in its font: as wide as
// the text, and as high as the font's cell within a pixel (a font for 宋体
// with a taller cell loses the foot of its characters). Texts set at run
// time may be longer than the label, as on Windows.
void expectTextFits(HWND label, const Control& control, const std::string& where) {
    const std::wstring text = control.text();
    RECT r;
    GetClientRect(label, &r);
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    if (text.empty() || text != control.def().text || text.find(L'\n') != std::wstring::npos ||
        r.bottom >= 2 * metrics.tmHeight)
        return;
    EXPECT_LE(size.cx, r.right) << where << ": the text is cut";
    EXPECT_LE(metrics.tmHeight, r.bottom + 1) << where << ": the font is too high";
}

}  // namespace

bool saveScreenshot(HWND window, const std::string& name) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT r;
    GetWindowRect(window, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    // What is on screen, children and frame included: the window's own
    // drawing surface, read without clipping its children out.
    HDC source = GetDCEx(window, nullptr, DCX_WINDOW | DCX_CACHE);
    HDC memory = CreateCompatibleDC(source);
    HBITMAP bitmap = CreateCompatibleBitmap(source, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool printed = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY) != FALSE;
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(window, source);
    const std::filesystem::path folder = std::filesystem::path(T7_BINARY_DIR) / "screenshots";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    const std::wstring file = (folder / (name + ".png")).wstring();
    bool saved = false;
    CLSID png;
    if (printed && pngEncoder(png)) {
        Gdiplus::Bitmap picture(bitmap, nullptr);
        saved = picture.Save(file.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    DeleteObject(bitmap);
    return saved;
}

void whenReady(std::function<bool()> ready, std::function<void()> action) {
    g_pending.push_back({std::move(ready), std::move(action)});
    SetTimer(nullptr, 0, 20, checkPending);
}

HWND messageBox() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

void whenMessageBox(std::function<void(HWND box)> action) {
    whenReady([] { return messageBox() != nullptr; }, [action] { action(messageBox()); });
}

std::wstring textOf(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void expectRenderedAsLaid(Form& form) {
    HWND window = win32::Win32Backend::windowOf(form);
    ASSERT_NE(window, nullptr) << toUtf8(form.name());
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, twipsToPixels(form.clientWidth())) << toUtf8(form.name());
    EXPECT_EQ(client.bottom, twipsToPixels(form.clientHeight())) << toUtf8(form.name());
    EXPECT_EQ(textOf(window), form.caption());
    for (Control* control : form.controls()) {
        const std::string where = toUtf8(form.name() + L"." + control->displayName());
        HWND hwnd = win32::Win32Backend::windowOf(*control);
        ASSERT_NE(hwnd, nullptr) << where;
        EXPECT_EQ(GetParent(hwnd), window) << where;
        EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, control->shown() && form.isVisible()) << where;
        EXPECT_EQ(IsWindowEnabled(hwnd) != FALSE, control->usable()) << where;
        // Positions add up through the frames, each rounded on its own.
        int left = 0, top = 0;
        for (const Control* c = control->parent(); c; c = c->parent()) {
            left += twipsToPixels(c->left());
            top += twipsToPixels(c->top());
        }
        RECT r;
        GetWindowRect(hwnd, &r);
        MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
        if (control->kind() == ControlKind::Line) {
            const int x1 = twipsToPixels(control->left()),
                      x2 = twipsToPixels(control->left() + control->width());
            const int y1 = twipsToPixels(control->top()),
                      y2 = twipsToPixels(control->top() + control->height());
            EXPECT_EQ(r.left, left + std::min(x1, x2)) << where;
            EXPECT_EQ(r.top, top + std::min(y1, y2)) << where;
            EXPECT_EQ(r.right - r.left, std::abs(x2 - x1) + 1) << where;
            EXPECT_EQ(r.bottom - r.top, std::abs(y2 - y1) + 1) << where;
            continue;
        }
        EXPECT_EQ(r.left, left + twipsToPixels(control->left())) << where;
        EXPECT_EQ(r.top, top + twipsToPixels(control->top())) << where;
        EXPECT_EQ(r.right - r.left, twipsToPixels(control->width())) << where;
        // A closed combo box is as high as its font allows, within a pixel or
        // two of the table.
        EXPECT_NEAR(r.bottom - r.top, twipsToPixels(control->height()),
                    control->kind() == ControlKind::ComboBox ? 2 : 0)
            << where;
        switch (control->kind()) {
            case ControlKind::Label:
                expectTextFits(hwnd, *control, where);
                EXPECT_EQ(textOf(hwnd), control->text()) << where;
                break;
            case ControlKind::TextBox:
            case ControlKind::CommandButton:
            case ControlKind::OptionButton:
                EXPECT_EQ(textOf(hwnd), control->text()) << where;
                break;
            case ControlKind::Frame:
                if (!control->text().empty()) {
                    EXPECT_EQ(textOf(hwnd), control->text()) << where;
                }
                break;
            default:
                break;
        }
    }
}

void press(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
}

}  // namespace t7::test
