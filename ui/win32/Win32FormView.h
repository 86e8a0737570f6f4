#pragma once
// The windows of one loaded form (used by Win32Backend only).
#include <windows.h>

#include <map>

#include "forms/Backend.h"

namespace t7::win32 {

class Win32Backend;

class Win32FormView : public IFormView {
public:
    Win32FormView(Win32Backend& backend, Form& form);
    ~Win32FormView() override;

    void controlAdded(Control& control) override;
    void controlChanged(Control& control, ControlProperty what) override;
    void formChanged(FormProperty what) override;

    Form& form() const { return m_form; }
    HWND window() const { return m_window; }
    HWND windowOf(const Control& control) const;
    bool windowShown() const;

    static LRESULT CALLBACK formProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK editProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);

private:
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    void command(HWND child, int code);
    void enterPressed();
    // Typed characters go through the control; returns true when handled.
    bool typed(Control& control, HWND edit, wchar_t ch);

    HWND create(Control& control);
    void applyAll(Control& control);
    void applyGeometry(Control& control);
    void applyText(Control& control);
    void applyList(Control& control);
    void applyListIndex(Control& control);
    void applyFont(Control& control);
    void applyState(Control& control);
    // The control and every control inside it (a frame's contents).
    void applyToTree(Control& control, void (Win32FormView::*apply)(Control&));
    void applyFormGeometry();
    void updateTabOrder();
    Control* controlOf(HWND hwnd) const;
    // Pixel position of the control's top-left corner in the client area.
    POINT origin(const Control& control) const;

    Win32Backend& m_backend;
    Form& m_form;
    HWND m_window = nullptr;
    std::map<const Control*, HWND> m_windows;
    std::map<const Control*, HBRUSH> m_brushes;
    int m_syncing = 0;
    bool m_positioned = false;
    int m_nextId = 100;
};

}  // namespace t7::win32
