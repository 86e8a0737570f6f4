#pragma once
// The native Windows backend: renders any form layout as Win32 controls and
// feeds the operator's input back into the forms runtime.
//
// Geometry: 15 twips per pixel at 96 dpi; the factor follows the screen's
// real dpi (the program is dpi aware through its manifest). Frames with a
// caption become group boxes, other frames etched rectangles. Every control
// is a child of the form's window, placed at its frame's position plus its
// own, and shown and enabled as its frames allow: a group box passes no
// notifications on, so it cannot be the parent.
//
// State lives in the runtime's controls; windows only mirror it. Characters
// typed into a text box reach a subclassed procedure and go through
// Control::type (KeyPress may change or discard them) instead of the box;
// edits that do not come as characters (paste, cut, Delete) reach the
// runtime as Control::userEditedText when the box reports its change.
//
// Modal forms disable the other forms and nest a message loop; message boxes
// are MessageBoxW's. No exception crosses a window procedure: one that
// leaves an input handler is kept, ends the running loops up to the caller
// of run() or runModal(), and is thrown again there.
#include <windows.h>

#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "forms/Backend.h"

namespace t7::win32 {

class Win32FormView;

// The screen's dots per inch (96 for "100 %").
int screenDpi();
// Twips to pixels at `dpi`, rounded.
int twipsToPixels(int twips, int dpi);
// Twips to pixels on this screen.
int twipsToPixels(int twips);
// A font's em, given in points, in pixels on this screen.
int pointsToPixels(double points);
// The MessageBoxW flags of a request.
UINT messageBoxFlags(const MessageBoxRequest& request);

class Win32Backend : public IFormsBackend {
public:
    Win32Backend();
    ~Win32Backend() override;

    std::unique_ptr<IFormView> createView(Form& form) override;
    void runModal(Form& form) override;
    void run() override;
    void quit() override;
    void processPendingMessages() override;
    MsgResult showMessageBox(const MessageBoxRequest& request) override;

    // The window of a loaded form, or nullptr.
    static HWND windowOf(const Form& form);
    // The window of a control of a loaded form, or nullptr.
    static HWND windowOf(const Control& control);

    // The font of a layout (cached for the backend's life).
    HFONT font(const std::wstring& name, double points, bool bold);
    // A bundled picture (a PNG resource of the program), or nullptr.
    HBITMAP picture(const std::wstring& name);

    // Called by the views.
    void viewCreated(Win32FormView* view);
    void viewDestroyed(Win32FormView* view);
    void visibilityChanged();
    // Runs an operator's input against the runtime; an exception is kept and
    // ends the running loops (see above).
    template <class F>
    void deliver(F&& input) {
        try {
            input();
        } catch (...) {
            failed(std::current_exception());
        }
    }
    void failed(std::exception_ptr error);
    // Throws again what an input handler let escape.
    void rethrowFailure();

private:
    // Dispatches one message; false on WM_QUIT.
    bool pump(bool wait);
    bool anyShown() const;
    HWND modalOwner() const;

    std::vector<Win32FormView*> m_views;
    std::map<std::wstring, HFONT> m_fonts;
    std::map<std::wstring, HBITMAP> m_pictures;
    ULONG_PTR m_gdiplus = 0;
    int m_loops = 0;
    bool m_mainRunning = false;
    bool m_quit = false;
    bool m_checkPending = false;
    std::exception_ptr m_failure;
};

}  // namespace t7::win32
