#include "ui/win32/Win32Backend.h"

// GDI+ decodes the bundled PNG pictures.
#include <objidl.h>
#include <shlwapi.h>
// clang-format off
#include <gdiplus.h>
// clang-format on

#include <algorithm>
#include <cmath>
#include <cwctype>

#include "forms/Form.h"
#include "ui/win32/Win32FormView.h"

namespace t7::win32 {
namespace {

constexpr double kTwipsPerPixel = 15.0;
constexpr double kBaseDpi = 96.0;

Win32FormView* viewOf(const Form& form) {
    return dynamic_cast<Win32FormView*>(form.view());
}

}  // namespace

int screenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : static_cast<int>(kBaseDpi);
}

int twipsToPixels(int twips, int dpi) {
    return static_cast<int>(std::lround(twips * (dpi / kBaseDpi) / kTwipsPerPixel));
}

int twipsToPixels(int twips) {
    static const int dpi = screenDpi();
    return twipsToPixels(twips, dpi);
}

int pointsToPixels(double points) {
    return static_cast<int>(std::lround(points * screenDpi() / 72.0));
}

UINT messageBoxFlags(const MessageBoxRequest& request) {
    UINT flags = request.buttons == MsgButtons::YesNo ? MB_YESNO : MB_OK;
    switch (request.icon) {
        case MsgIcon::Critical:
            flags |= MB_ICONERROR;
            break;
        case MsgIcon::Exclamation:
            flags |= MB_ICONEXCLAMATION;
            break;
        case MsgIcon::Information:
            flags |= MB_ICONINFORMATION;
            break;
        case MsgIcon::None:
            break;
    }
    if (request.buttons == MsgButtons::YesNo && request.defaultButton == 2) flags |= MB_DEFBUTTON2;
    return flags;
}

Win32Backend::Win32Backend() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_gdiplus, &input, nullptr);
}

Win32Backend::~Win32Backend() {
    for (auto& [name, bitmap] : m_pictures) {
        if (bitmap) DeleteObject(bitmap);
    }
    for (auto& [key, font] : m_fonts) DeleteObject(font);
    if (m_gdiplus) Gdiplus::GdiplusShutdown(m_gdiplus);
}

HFONT Win32Backend::font(const std::wstring& name, double points, bool bold) {
    const std::wstring key = name + L"|" + std::to_wstring(points) + (bold ? L"|b" : L"");
    auto it = m_fonts.find(key);
    if (it != m_fonts.end()) return it->second;
    const bool chinese =
        std::any_of(name.begin(), name.end(), [](wchar_t c) { return c > 0x7F; }) || name == L"SimSun";
    const int height = -pointsToPixels(points);
    HFONT font =
        CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                    chinese ? GB2312_CHARSET : DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, name.c_str());
    m_fonts[key] = font;
    return font;
}

HBITMAP Win32Backend::picture(const std::wstring& name) {
    auto it = m_pictures.find(name);
    if (it != m_pictures.end()) return it->second;
    HBITMAP bitmap = nullptr;
    // Resource names are upper case: "header.png" is HEADER.PNG.
    std::wstring resource = name;
    std::transform(resource.begin(), resource.end(), resource.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    HMODULE module = GetModuleHandleW(nullptr);
    if (HRSRC found = FindResourceW(module, resource.c_str(), MAKEINTRESOURCEW(10))) {
        HGLOBAL loaded = LoadResource(module, found);
        const void* bytes = loaded ? LockResource(loaded) : nullptr;
        const DWORD size = SizeofResource(module, found);
        if (IStream* stream = bytes ? SHCreateMemStream(static_cast<const BYTE*>(bytes), size) : nullptr) {
            if (Gdiplus::Bitmap* decoded = Gdiplus::Bitmap::FromStream(stream)) {
                if (decoded->GetLastStatus() == Gdiplus::Ok)
                    decoded->GetHBITMAP(Gdiplus::Color(0, 0, 0), &bitmap);
                delete decoded;
            }
            stream->Release();
        }
    }
    m_pictures[name] = bitmap;
    return bitmap;
}

std::unique_ptr<IFormView> Win32Backend::createView(Form& form) {
    return std::make_unique<Win32FormView>(*this, form);
}

void Win32Backend::viewCreated(Win32FormView* view) {
    m_views.push_back(view);
}

void Win32Backend::viewDestroyed(Win32FormView* view) {
    m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end());
    visibilityChanged();
}

void Win32Backend::visibilityChanged() {
    // Looked at once the current message is handled: a page shows the next
    // page before it closes itself, so the moment in between does not count.
    m_checkPending = true;
}

bool Win32Backend::anyShown() const {
    return std::any_of(m_views.begin(), m_views.end(),
                       [](const Win32FormView* v) { return v->windowShown(); });
}

HWND Win32Backend::modalOwner() const {
    HWND active = GetActiveWindow();
    for (const Win32FormView* view : m_views) {
        if (view->window() == active && IsWindowEnabled(active)) return active;
    }
    for (auto it = m_views.rbegin(); it != m_views.rend(); ++it) {
        if ((*it)->windowShown() && IsWindowEnabled((*it)->window())) return (*it)->window();
    }
    return nullptr;
}

bool Win32Backend::pump(bool wait) {
    MSG msg;
    if (wait) {
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) return false;
    } else if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        return true;
    } else if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    // Tab, arrows, Enter and Esc as in a dialog, for the form the message
    // is for.
    HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    const bool ours = top && std::any_of(m_views.begin(), m_views.end(),
                                         [top](const Win32FormView* v) { return v->window() == top; });
    if (!ours || !IsDialogMessageW(top, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

void Win32Backend::runModal(Form& form) {
    Win32FormView* view = viewOf(form);
    if (!view || !form.isVisible()) return;
    // The other forms wait until this one is done.
    std::vector<HWND> disabled;
    for (Win32FormView* other : m_views) {
        if (other != view && IsWindowEnabled(other->window())) {
            EnableWindow(other->window(), FALSE);
            disabled.push_back(other->window());
        }
    }
    ++m_loops;
    while (!m_failure && form.isVisible() && viewOf(form) == view) {
        if (!pump(true)) {
            PostQuitMessage(0);
            break;
        }
    }
    --m_loops;
    for (HWND hwnd : disabled) {
        if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
    }
    rethrowFailure();
}

void Win32Backend::run() {
    rethrowFailure();
    if (!anyShown()) return;
    m_quit = false;
    m_mainRunning = true;
    while (!m_quit && !m_failure) {
        if (!pump(true)) break;
        if (m_checkPending && m_loops == 0) {
            m_checkPending = false;
            // Loaded forms that nobody can see can get no more input.
            if (!anyShown()) break;
        }
    }
    m_mainRunning = false;
    rethrowFailure();
}

void Win32Backend::quit() {
    // The runtime asks only when its last form has gone; outside run() there
    // is nothing to end.
    if (!m_mainRunning) return;
    m_quit = true;
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void Win32Backend::processPendingMessages() {
    MSG msg;
    while (!m_failure && PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (!pump(false)) break;
    }
    rethrowFailure();
}

MsgResult Win32Backend::showMessageBox(const MessageBoxRequest& request) {
    HWND owner = modalOwner();
    UINT flags = messageBoxFlags(request) | (owner ? MB_APPLMODAL : MB_TASKMODAL) | MB_SETFOREGROUND;
    const int pressed = MessageBoxW(owner, request.text.c_str(), request.shownTitle().c_str(), flags);
    rethrowFailure();
    if (request.buttons == MsgButtons::YesNo) return pressed == IDYES ? MsgResult::Yes : MsgResult::No;
    return MsgResult::Ok;
}

HWND Win32Backend::windowOf(const Form& form) {
    Win32FormView* view = viewOf(form);
    return view ? view->window() : nullptr;
}

HWND Win32Backend::windowOf(const Control& control) {
    Win32FormView* view = viewOf(control.form());
    return view ? view->windowOf(control) : nullptr;
}

void Win32Backend::failed(std::exception_ptr error) {
    if (!m_failure) m_failure = error;
    // Wakes the loop that waits, so it sees the failure.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void Win32Backend::rethrowFailure() {
    if (!m_failure) return;
    std::exception_ptr error = m_failure;
    m_failure = nullptr;
    std::rethrow_exception(error);
}

}  // namespace t7::win32
