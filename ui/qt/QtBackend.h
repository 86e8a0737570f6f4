#pragma once
// The Qt 6 Widgets backend: renders any form layout as widgets and feeds the
// operator's input back into the forms runtime.
//
// Geometry: 15 twips per pixel at 96 dpi; the factor follows the screen's
// logical dpi, and Qt's own device pixel ratio does the rest on high-density
// screens. Frames with a caption become group boxes, other frames plain
// panels; positions of children are relative to their frame, as in the
// layout. Every widget carries its control's name as object name (an array
// element is named "optIP(2)"), every window its form's name.
//
// State lives in the runtime's controls; widgets only mirror it. Keys typed
// into a text box go through Control::type (KeyPress, then the edit at the
// end of the text, then Change); edits the keyboard cannot express that way
// (paste, cut, Delete) reach the runtime as Control::userEditedText.
//
// Modal forms and message boxes nest a QEventLoop. An exception that leaves
// an event handler ends the loops up to the caller of run() or runModal(),
// where it is thrown again, as it would leave a headless run.
#include <QPointer>
#include <exception>
#include <memory>
#include <vector>

#include "forms/Backend.h"
#include "ui/qt/QtMessageBox.h"

class QApplication;
class QEventLoop;
class QWidget;

namespace t7::qt {

class QtFormView;

// Twips to device-independent pixels, rounded, for the primary screen.
int twipsToPixels(int twips);

class QtBackend : public IFormsBackend {
public:
    // Uses the QApplication of the process, or creates one (with argc/argv)
    // and owns it.
    QtBackend(int& argc, char** argv);
    ~QtBackend() override;

    std::unique_ptr<IFormView> createView(Form& form) override;
    void runModal(Form& form) override;
    void run() override;
    void quit() override;
    void processPendingMessages() override;
    MsgResult showMessageBox(const MessageBoxRequest& request) override;

    // The window of a loaded form, or nullptr.
    static QWidget* windowOf(const Form& form);
    // The widget of a control of a loaded form, or nullptr.
    static QWidget* widgetOf(Control& control);

    // Called by the views.
    void viewCreated(QtFormView* view);
    void viewDestroyed(QtFormView* view);
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

    // Throws again what an input handler let escape while no loop of this
    // backend ran (input that tests send straight to the widgets).
    void rethrowFailure();

private:
    void failed(std::exception_ptr error);
    void checkForVisibleForms();

    std::unique_ptr<QApplication> m_ownApp;
    QtMessageBoxService m_boxes;
    std::vector<QtFormView*> m_views;
    std::vector<QEventLoop*> m_loops;
    QEventLoop* m_mainLoop = nullptr;
    std::exception_ptr m_failure;
};

}  // namespace t7::qt
