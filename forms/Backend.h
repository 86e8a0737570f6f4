#pragma once
// What a user interface backend implements: it renders forms (one view per
// loaded form), runs the event loop, nests it for modal forms, and shows
// message boxes. It knows nothing of any particular page: it renders the
// layout table and mirrors control state through the notifications below.
//
// User input reaches the runtime through the entry points of Control
// (click, type, setListIndex, setValue, userEditedText) and Form
// (pressEnter, unload when the window is closed); those raise the events.
#include <memory>

#include "forms/Form.h"
#include "forms/MessageBox.h"

namespace t7 {

// The on-screen side of one loaded form.
class IFormView {
public:
    virtual ~IFormView() = default;
    // A control array element was created at run time (Form::loadControl).
    virtual void controlAdded(Control& control) = 0;
    // A property of a control changed; read the new value from `control`.
    virtual void controlChanged(Control& control, ControlProperty what) = 0;
    // A property of the form changed. Visible false comes before the view is
    // destroyed at unload.
    virtual void formChanged(FormProperty what) = 0;
};

class IFormsBackend {
public:
    virtual ~IFormsBackend() = default;

    // Called by Form::load() once every control of the layout exists and
    // before Form_Load runs. The view lives until the form unloads.
    virtual std::unique_ptr<IFormView> createView(Form& form) = 0;

    // Nests the event loop until `form` is no longer visible (hidden or
    // unloaded). A backend that cannot get more input (a script that ran
    // out) throws RunStopped instead of waiting for ever.
    virtual void runModal(Form& form) = 0;

    // Runs the main event loop until quit(), or until no more input can
    // come (the headless backend with no actions left).
    virtual void run() = 0;
    // Ends run(); called by the runtime when the last form has unloaded.
    virtual void quit() = 0;

    // "Process pending window messages": lets the screen catch up inside a
    // long step.
    virtual void processPendingMessages() = 0;

    // Shows a box modally and returns the button pressed.
    virtual MsgResult showMessageBox(const MessageBoxRequest& request) = 0;
};

// Thrown through the page code when a run cannot go on (a silent run ran
// out of actions). Deliberately not a std::exception: page error traps catch
// AppError and std::exception, and must not swallow the end of a run.
struct RunStopped {
    std::wstring reason;
};

}  // namespace t7
