#include "ui/win32/Win32FormView.h"

#include <commctrl.h>

#include <algorithm>

#include "forms/Form.h"
#include "ui/win32/Win32Backend.h"

namespace t7::win32 {
namespace {

const wchar_t* const kFormClass = L"T7Form";
const wchar_t* const kDrawnClass = L"T7Drawn";
const wchar_t* const kControlProp = L"T7Control";
const wchar_t* const kViewProp = L"T7View";
// The brush of a control's own background colour.
const wchar_t* const kBrushProp = L"T7Brush";
// The form's or control's name as a global atom, for tools that drive the
// windows from another process (the tests' operator).
const wchar_t* const kNameProp = L"T7Name";
constexpr UINT_PTR kEditSubclass = 1;

void nameWindow(HWND hwnd, const std::wstring& name) {
    SetPropW(hwnd, kNameProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(GlobalAddAtomW(name.c_str()))));
}

void unnameWindow(HWND hwnd) {
    if (auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(RemovePropW(hwnd, kNameProp))))
        GlobalDeleteAtom(atom);
}

// The system's cursors and icons are numbered resources (IDC_ARROW).
LPCWSTR systemResource(LPSTR id) {
    return reinterpret_cast<LPCWSTR>(id);
}

Win32FormView* viewOf(HWND hwnd) {
    return static_cast<Win32FormView*>(GetPropW(hwnd, kViewProp));
}

bool isEditable(const Control& control) {
    return control.kind() == ControlKind::TextBox ||
           (control.kind() == ControlKind::ComboBox && control.def().comboStyle == ComboStyle::DropDownCombo);
}

std::wstring windowText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Pictures, empty picture boxes and lines: drawn by this procedure from
// the control they show.
LRESULT CALLBACK drawnProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCHITTEST) return HTTRANSPARENT;
    if (msg != WM_PAINT) return DefWindowProcW(hwnd, msg, wp, lp);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    auto* control = static_cast<Control*>(GetPropW(hwnd, kControlProp));
    auto* bitmap = static_cast<HBITMAP>(GetPropW(hwnd, L"T7Bitmap"));
    if (control && control->kind() == ControlKind::Line) {
        HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_WINDOWTEXT));
        HGDIOBJ old = SelectObject(dc, pen);
        const bool rising = (control->width() < 0) != (control->height() < 0);
        MoveToEx(dc, 0, rising ? r.bottom - 1 : 0, nullptr);
        LineTo(dc, r.right - 1, rising ? 0 : r.bottom - 1);
        SetPixel(dc, r.right - 1, rising ? 0 : r.bottom - 1, GetSysColor(COLOR_WINDOWTEXT));
        SelectObject(dc, old);
        DeleteObject(pen);
    } else if (bitmap) {
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, bitmap);
        BITMAP info;
        GetObjectW(bitmap, sizeof info, &info);
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
    } else if (r.bottom <= 2) {
        // A picture box a pixel or two high is an etched separator.
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
        auto* brush = static_cast<HBRUSH>(GetPropW(hwnd, kBrushProp));
        FillRect(dc, &r, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
        DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
    }
    EndPaint(hwnd, &ps);
    return 0;
}

void registerClasses() {
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, systemResource(IDC_ARROW));
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpfnWndProc = Win32FormView::formProc;
        wc.lpszClassName = kFormClass;
        wc.hIcon = LoadIconW(wc.hInstance, L"T7SETUP");
        if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, systemResource(IDI_APPLICATION));
        RegisterClassExW(&wc);
        wc.lpfnWndProc = drawnProc;
        wc.lpszClassName = kDrawnClass;
        wc.hIcon = nullptr;
        RegisterClassExW(&wc);
        return true;
    }();
    (void)registered;
}

DWORD alignStyle(const Control& control) {
    const bool edit = control.kind() == ControlKind::TextBox;
    switch (control.alignment()) {
        case TextAlign::Right:
            return edit ? ES_RIGHT : SS_RIGHT;
        case TextAlign::Center:
            return edit ? ES_CENTER : SS_CENTER;
        case TextAlign::Left:
            break;
    }
    return edit ? ES_LEFT : SS_LEFT;
}

}  // namespace

Win32FormView::Win32FormView(Win32Backend& backend, Form& form) : m_backend(backend), m_form(form) {
    registerClasses();
    const FormLayout& layout = form.layout();
    const DWORD style = WS_CAPTION | WS_SYSMENU | (layout.dialog ? DS_MODALFRAME : WS_MINIMIZEBOX);
    const DWORD exStyle = layout.dialog ? WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT : WS_EX_CONTROLPARENT;
    m_window = CreateWindowExW(exStyle, kFormClass, form.caption().c_str(), style, CW_USEDEFAULT,
                               CW_USEDEFAULT, 100, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetPropW(m_window, kViewProp, this);
    nameWindow(m_window, form.name());
    SendMessageW(m_window, WM_SETFONT,
                 reinterpret_cast<WPARAM>(backend.font(layout.font.name, layout.font.size, layout.font.bold)),
                 FALSE);
    applyFormGeometry();
    for (Control* control : form.controls()) m_windows[control] = create(*control);
    for (Control* control : form.controls()) applyAll(*control);
    updateTabOrder();
    backend.viewCreated(this);
}

Win32FormView::~Win32FormView() {
    if (m_window) {
        RemovePropW(m_window, kViewProp);
        unnameWindow(m_window);
        for (auto& [control, hwnd] : m_windows) {
            unnameWindow(hwnd);
            RemovePropW(hwnd, kControlProp);
            RemovePropW(hwnd, L"T7Bitmap");
            RemovePropW(hwnd, kBrushProp);
        }
        // An unload from inside one of this window's own handlers: the
        // window goes, its procedure no longer finds this view.
        DestroyWindow(m_window);
    }
    for (auto& [control, brush] : m_brushes) DeleteObject(brush);
    m_backend.viewDestroyed(this);
}

HWND Win32FormView::windowOf(const Control& control) const {
    auto it = m_windows.find(&control);
    return it == m_windows.end() ? nullptr : it->second;
}

bool Win32FormView::windowShown() const {
    return m_window && IsWindowVisible(m_window);
}

Control* Win32FormView::controlOf(HWND hwnd) const {
    for (HWND h = hwnd; h && h != m_window; h = GetParent(h)) {
        if (auto* control = static_cast<Control*>(GetPropW(h, kControlProp))) return control;
    }
    return nullptr;
}

HWND Win32FormView::create(Control& control) {
    const wchar_t* cls = L"STATIC";
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD exStyle = 0;
    switch (control.kind()) {
        case ControlKind::Label:
            style |= SS_NOPREFIX | alignStyle(control);
            break;
        case ControlKind::TextBox:
            cls = L"EDIT";
            exStyle = WS_EX_CLIENTEDGE;
            style |= ES_AUTOHSCROLL | alignStyle(control);
            if (control.passwordChar() != 0) style |= ES_PASSWORD;
            break;
        case ControlKind::ComboBox:
            cls = L"COMBOBOX";
            style |= WS_VSCROLL |
                     (control.def().comboStyle == ComboStyle::DropDownList ? CBS_DROPDOWNLIST
                                                                           : CBS_DROPDOWN | CBS_AUTOHSCROLL);
            break;
        case ControlKind::ListBox:
            cls = L"LISTBOX";
            exStyle = WS_EX_CLIENTEDGE;
            style |= LBS_NOTIFY | WS_VSCROLL | LBS_NOINTEGRALHEIGHT;
            break;
        case ControlKind::OptionButton:
            // Not automatic: the runtime clears the other buttons of the
            // container, and the button shows what the control says.
            cls = L"BUTTON";
            style |= BS_RADIOBUTTON;
            // A caption wraps where the button has room for a second line;
            // one line high, a long caption is cut at the right instead of
            // drawing two lines over each other.
            if (twipsToPixels(control.height()) >= 2 * pointsToPixels(control.font().size))
                style |= BS_MULTILINE;
            break;
        case ControlKind::Frame:
            if (control.text().empty()) {
                cls = kDrawnClass;
            } else {
                cls = L"BUTTON";
                style |= BS_GROUPBOX;
            }
            break;
        case ControlKind::CommandButton:
            cls = L"BUTTON";
            style |= control.isDefault() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            break;
        case ControlKind::PictureBox:
        case ControlKind::Image:
        case ControlKind::Line:
            cls = kDrawnClass;
            break;
    }
    const int id = m_nextId++;
    HWND hwnd = CreateWindowExW(exStyle, cls, L"", style, 0, 0, 0, 0, m_window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                                nullptr);
    SetPropW(hwnd, kControlProp, &control);
    nameWindow(hwnd, control.displayName());
    if (!control.def().picture.empty()) {
        if (HBITMAP bitmap = m_backend.picture(control.def().picture)) SetPropW(hwnd, L"T7Bitmap", bitmap);
    }
    if (control.passwordChar() != 0) SendMessageW(hwnd, EM_SETPASSWORDCHAR, control.passwordChar(), 0);
    if (control.kind() == ControlKind::TextBox) {
        SetWindowSubclass(hwnd, editProc, kEditSubclass, reinterpret_cast<DWORD_PTR>(this));
    } else if (control.kind() == ControlKind::ComboBox) {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        if (GetComboBoxInfo(hwnd, &info) && info.hwndItem && info.hwndItem != hwnd) {
            SetWindowSubclass(info.hwndItem, editProc, kEditSubclass, reinterpret_cast<DWORD_PTR>(this));
        }
    }
    if (const auto& color = control.def().backColor) {
        const COLORREF c = RGB((*color >> 16) & 0xFF, (*color >> 8) & 0xFF, *color & 0xFF);
        m_brushes[&control] = CreateSolidBrush(c);
        SetPropW(hwnd, kBrushProp, m_brushes[&control]);
    }
    return hwnd;
}

POINT Win32FormView::origin(const Control& control) const {
    POINT p{twipsToPixels(control.left()), twipsToPixels(control.top())};
    if (control.kind() == ControlKind::Line) {
        p.x = std::min(p.x, static_cast<LONG>(twipsToPixels(control.left() + control.width())));
        p.y = std::min(p.y, static_cast<LONG>(twipsToPixels(control.top() + control.height())));
    }
    if (const Control* parent = control.parent()) {
        const POINT base = origin(*parent);
        p.x += base.x;
        p.y += base.y;
    }
    return p;
}

void Win32FormView::applyAll(Control& control) {
    // The font first: it sets a combo box's height, which the geometry
    // then corrects.
    applyFont(control);
    applyGeometry(control);
    applyList(control);
    applyText(control);
    applyListIndex(control);
    controlChanged(control, ControlProperty::Value);
    applyState(control);
}

void Win32FormView::applyGeometry(Control& control) {
    HWND hwnd = m_windows[&control];
    const POINT p = origin(control);
    int width = twipsToPixels(control.width());
    int height = twipsToPixels(control.height());
    if (control.kind() == ControlKind::Line) {
        width = std::abs(twipsToPixels(control.left() + control.width()) - twipsToPixels(control.left())) + 1;
        height = std::abs(twipsToPixels(control.top() + control.height()) - twipsToPixels(control.top())) + 1;
    }
    if (control.kind() == ControlKind::ComboBox) {
        // The closed box is as high as the layout says; the height given to
        // the window is that of the dropped list.
        ++m_syncing;
        SetWindowPos(hwnd, nullptr, p.x, p.y, width, height + 200, SWP_NOZORDER | SWP_NOACTIVATE);
        RECT r;
        GetWindowRect(hwnd, &r);
        const LRESULT item = SendMessageW(hwnd, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        const int border = (r.bottom - r.top) - static_cast<int>(item);
        if (item > 0 && height - border > 0)
            SendMessageW(hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height - border);
        --m_syncing;
        return;
    }
    SetWindowPos(hwnd, nullptr, p.x, p.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormView::applyText(Control& control) {
    HWND hwnd = m_windows[&control];
    ++m_syncing;
    if (control.kind() == ControlKind::ComboBox && control.def().comboStyle == ComboStyle::DropDownList) {
        // The selection is the text.
    } else if (control.kind() != ControlKind::ListBox && windowText(hwnd) != control.text()) {
        SetWindowTextW(hwnd, control.text().c_str());
        if (isEditable(control)) {
            const int end = GetWindowTextLengthW(hwnd);
            if (control.kind() == ControlKind::TextBox) {
                SendMessageW(hwnd, EM_SETSEL, end, end);
            } else {
                SendMessageW(hwnd, CB_SETEDITSEL, 0, MAKELPARAM(end, end));
            }
        }
    }
    --m_syncing;
}

void Win32FormView::applyList(Control& control) {
    HWND hwnd = m_windows[&control];
    const bool combo = control.kind() == ControlKind::ComboBox;
    if (!combo && control.kind() != ControlKind::ListBox) return;
    ++m_syncing;
    SendMessageW(hwnd, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
    for (const std::wstring& item : control.list())
        SendMessageW(hwnd, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    --m_syncing;
    applyListIndex(control);
}

void Win32FormView::applyListIndex(Control& control) {
    HWND hwnd = m_windows[&control];
    ++m_syncing;
    if (control.kind() == ControlKind::ComboBox) {
        SendMessageW(hwnd, CB_SETCURSEL, static_cast<WPARAM>(control.listIndex()), 0);
        if (control.def().comboStyle == ComboStyle::DropDownCombo)
            SetWindowTextW(hwnd, control.text().c_str());
    } else if (control.kind() == ControlKind::ListBox) {
        SendMessageW(hwnd, LB_SETCURSEL, static_cast<WPARAM>(control.listIndex()), 0);
    }
    --m_syncing;
}

void Win32FormView::applyFont(Control& control) {
    const Font& font = control.font();
    SendMessageW(m_windows[&control], WM_SETFONT,
                 reinterpret_cast<WPARAM>(m_backend.font(font.name, font.size, font.bold)), TRUE);
}

void Win32FormView::applyState(Control& control) {
    HWND hwnd = m_windows[&control];
    ShowWindow(hwnd, control.shown() ? SW_SHOWNA : SW_HIDE);
    EnableWindow(hwnd, control.usable());
}

void Win32FormView::applyToTree(Control& control, void (Win32FormView::*apply)(Control&)) {
    (this->*apply)(control);
    if (control.kind() != ControlKind::Frame) return;
    for (Control* other : m_form.controls()) {
        if (other->parent() == &control && m_windows.count(other)) applyToTree(*other, apply);
    }
}

void Win32FormView::applyFormGeometry() {
    RECT r{0, 0, twipsToPixels(m_form.clientWidth()), twipsToPixels(m_form.clientHeight())};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_EXSTYLE)));
    SetWindowPos(m_window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormView::updateTabOrder() {
    // The dialog manager walks the windows in z-order: tab stops first, in
    // tab order, then the rest; frames last, under what they hold.
    std::vector<Control*> order = m_form.controls();
    auto rank = [](const Control* c) {
        if (c->kind() == ControlKind::Frame) return 2;
        return c->tabIndex() >= 0 ? 0 : 1;
    };
    std::stable_sort(order.begin(), order.end(), [&](const Control* a, const Control* b) {
        if (rank(a) != rank(b)) return rank(a) < rank(b);
        return rank(a) == 0 && a->tabIndex() < b->tabIndex();
    });
    HWND after = HWND_TOP;
    const Control* previous = nullptr;
    for (Control* control : order) {
        HWND hwnd = m_windows[control];
        SetWindowPos(hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = hwnd;
        LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_GROUP | WS_TABSTOP);
        const bool focusable =
            control->tabIndex() >= 0 && control->kind() != ControlKind::Label &&
            control->kind() != ControlKind::Frame && control->kind() != ControlKind::Line &&
            control->kind() != ControlKind::PictureBox && control->kind() != ControlKind::Image;
        if (focusable) style |= WS_TABSTOP;
        // Option buttons of one container make one group: arrows move
        // within it, Tab leaves it.
        const bool continuesGroup = control->kind() == ControlKind::OptionButton && previous &&
                                    previous->kind() == ControlKind::OptionButton &&
                                    previous->parentName() == control->parentName();
        if (!continuesGroup) style |= WS_GROUP;
        SetWindowLongPtrW(hwnd, GWL_STYLE, style);
        previous = control;
    }
}

void Win32FormView::controlAdded(Control& control) {
    m_windows[&control] = create(control);
    applyAll(control);
    updateTabOrder();
}

void Win32FormView::controlChanged(Control& control, ControlProperty what) {
    HWND hwnd = windowOf(control);
    if (!hwnd) return;
    switch (what) {
        case ControlProperty::Text:
            applyText(control);
            break;
        case ControlProperty::Geometry:
            applyToTree(control, &Win32FormView::applyGeometry);
            break;
        case ControlProperty::Visible:
        case ControlProperty::Enabled:
            applyToTree(control, &Win32FormView::applyState);
            break;
        case ControlProperty::List:
            applyList(control);
            break;
        case ControlProperty::ListIndex:
            applyListIndex(control);
            break;
        case ControlProperty::Value:
            if (control.kind() == ControlKind::OptionButton) {
                SendMessageW(hwnd, BM_SETCHECK, control.value() ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            break;
        case ControlProperty::TabIndex:
            updateTabOrder();
            break;
        case ControlProperty::Font:
            applyFont(control);
            applyGeometry(control);
            break;
        case ControlProperty::Alignment:
            if (control.kind() == ControlKind::Label || control.kind() == ControlKind::TextBox) {
                LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
                if (control.kind() == ControlKind::TextBox)
                    style = GetWindowLongPtrW(hwnd, GWL_STYLE) & ~static_cast<LONG_PTR>(ES_RIGHT | ES_CENTER);
                SetWindowLongPtrW(hwnd, GWL_STYLE, style | static_cast<LONG_PTR>(alignStyle(control)));
                InvalidateRect(hwnd, nullptr, TRUE);
            }
            break;
    }
}

void Win32FormView::formChanged(FormProperty what) {
    if (!m_window) return;
    switch (what) {
        case FormProperty::Caption:
            SetWindowTextW(m_window, m_form.caption().c_str());
            break;
        case FormProperty::Position:
            SetWindowPos(m_window, nullptr, twipsToPixels(m_form.left()), twipsToPixels(m_form.top()), 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            m_positioned = true;
            break;
        case FormProperty::Size:
            applyFormGeometry();
            break;
        case FormProperty::Visible:
            if (m_form.isVisible()) {
                if (!m_positioned) {
                    // A form that never set its position opens in the middle
                    // of the work area.
                    RECT work, r;
                    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
                    GetWindowRect(m_window, &r);
                    SetWindowPos(m_window, nullptr,
                                 work.left + (work.right - work.left - (r.right - r.left)) / 2,
                                 work.top + (work.bottom - work.top - (r.bottom - r.top)) / 2, 0, 0,
                                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                    m_positioned = true;
                }
                ShowWindow(m_window, SW_SHOW);
                SetForegroundWindow(m_window);
                // Focus on the first tab stop, as a dialog starts.
                HWND first = GetNextDlgTabItem(m_window, nullptr, FALSE);
                if (first && !IsChild(m_window, GetFocus())) SetFocus(first);
            } else {
                ShowWindow(m_window, SW_HIDE);
            }
            m_backend.visibilityChanged();
            break;
        case FormProperty::MousePointer:
            SetCursor(LoadCursorW(nullptr, m_form.mousePointer() == MousePointer::Hourglass
                                               ? systemResource(IDC_WAIT)
                                               : systemResource(IDC_ARROW)));
            break;
    }
}

LRESULT CALLBACK Win32FormView::formProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Win32FormView* view = viewOf(hwnd);
    if (!view) return DefWindowProcW(hwnd, msg, wp, lp);
    try {
        return view->handle(msg, wp, lp);
    } catch (...) {
        // Never through the system's code: kept for the running loop.
        view->m_backend.failed(std::current_exception());
        return 0;
    }
}

LRESULT Win32FormView::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            if (lp == 0 && LOWORD(wp) == IDOK) {
                enterPressed();
            } else if (lp == 0 && LOWORD(wp) == IDCANCEL) {
                // Esc, from the dialog manager: the form's cancel button.
                m_backend.deliver([this] { m_form.pressEscape(); });
            } else if (lp != 0) {
                command(reinterpret_cast<HWND>(lp), HIWORD(wp));
            }
            return 0;
        case WM_CLOSE:
            m_backend.deliver([this] { m_form.unload(); });
            return 0;
        case WM_SETCURSOR:
            if (m_form.mousePointer() == MousePointer::Hourglass) {
                SetCursor(LoadCursorW(nullptr, systemResource(IDC_WAIT)));
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN: {
            Control* control = controlOf(reinterpret_cast<HWND>(lp));
            auto it = control ? m_brushes.find(control) : m_brushes.end();
            if (it != m_brushes.end()) {
                LOGBRUSH lb;
                GetObjectW(it->second, sizeof lb, &lb);
                SetBkColor(reinterpret_cast<HDC>(wp), lb.lbColor);
                return reinterpret_cast<LRESULT>(it->second);
            }
            break;
        }
        default:
            break;
    }
    return DefWindowProcW(m_window, msg, wp, lp);
}

void Win32FormView::command(HWND child, int code) {
    if (m_syncing > 0) return;
    Control* control = controlOf(child);
    if (!control) return;
    switch (control->kind()) {
        case ControlKind::CommandButton:
            if (code == BN_CLICKED) m_backend.deliver([control] { control->click(); });
            break;
        case ControlKind::OptionButton:
            if (code == BN_CLICKED) {
                m_backend.deliver([control] { control->click(); });
                // The control says what the button shows, clicked or not.
                if (HWND still = windowOf(*control))
                    SendMessageW(still, BM_SETCHECK, control->value() ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            break;
        case ControlKind::ComboBox:
            if (code == CBN_SELCHANGE) {
                const int index = static_cast<int>(SendMessageW(child, CB_GETCURSEL, 0, 0));
                if (index >= 0) m_backend.deliver([control, index] { control->select(index); });
            } else if (code == CBN_EDITCHANGE) {
                const std::wstring text = windowText(child);
                if (text != control->text())
                    m_backend.deliver([control, text] { control->userEditedText(text); });
            }
            break;
        case ControlKind::ListBox:
            if (code == LBN_SELCHANGE) {
                const int index = static_cast<int>(SendMessageW(child, LB_GETCURSEL, 0, 0));
                if (index >= 0) m_backend.deliver([control, index] { control->select(index); });
            }
            break;
        case ControlKind::TextBox:
            if (code == EN_CHANGE) {
                // An edit that came as no character (paste, cut, Delete).
                const std::wstring text = windowText(child);
                if (text != control->text())
                    m_backend.deliver([control, text] { control->userEditedText(text); });
            }
            break;
        default:
            break;
    }
}

void Win32FormView::enterPressed() {
    // A focused button takes Enter itself, as on Windows.
    Control* focused = controlOf(GetFocus());
    if (focused && focused->kind() == ControlKind::CommandButton) {
        m_backend.deliver([focused] { focused->click(); });
        return;
    }
    m_backend.deliver([this] { m_form.pressEnter(); });
}

bool Win32FormView::typed(Control& control, HWND edit, wchar_t ch) {
    bool accepted = true;
    m_backend.deliver([&] {
        // A selection that reaches the end goes first, as an edit of its own:
        // the control edits at the end of its text.
        DWORD start = 0, end = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        const std::wstring text = windowText(edit);
        if (ch >= 32 && start < end && end == text.size()) {
            const std::wstring rest = text.substr(0, start);
            ++m_syncing;
            SetWindowTextW(edit, rest.c_str());
            --m_syncing;
            control.userEditedText(rest);
        }
        accepted = control.type(ch);
    });
    if (IsWindow(edit) && ch >= 32) {
        const int length = GetWindowTextLengthW(edit);
        SendMessageW(edit, EM_SETSEL, length, length);
    }
    return accepted;
}

LRESULT CALLBACK Win32FormView::editProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR,
                                         DWORD_PTR data) {
    auto* view = reinterpret_cast<Win32FormView*>(data);
    try {
        if (msg == WM_NCDESTROY) {
            RemoveWindowSubclass(hwnd, editProc, kEditSubclass);
        } else if (msg == WM_GETDLGCODE && lp && reinterpret_cast<MSG*>(lp)->message == WM_KEYDOWN &&
                   reinterpret_cast<MSG*>(lp)->wParam == VK_RETURN) {
            // Enter reaches the form as the default button's key.
            return DLGC_WANTCHARS | DLGC_HASSETSEL;
        } else if (msg == WM_CHAR && view->m_syncing == 0) {
            Control* control = view->controlOf(hwnd);
            const auto ch = static_cast<wchar_t>(wp);
            if (control && ch != L'\r' && ch != L'\t' && ch != 27) {
                // Ctrl+letters arrive as their control codes: the box does
                // what one means (paste, copy, cut) if KeyPress lets it be.
                const bool controlKey = ch < 32 && ch != kKeyBackspace;
                const bool accepted = view->typed(*control, hwnd, ch);
                if (controlKey && accepted && IsWindow(hwnd)) return DefSubclassProc(hwnd, msg, wp, lp);
                return 0;
            }
        }
        return DefSubclassProc(hwnd, msg, wp, lp);
    } catch (...) {
        view->m_backend.failed(std::current_exception());
        return 0;
    }
}

}  // namespace t7::win32
