#pragma once
// The widgets of one loaded form (used by QtBackend only).
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <map>

#include "forms/Backend.h"

class QEventLoop;
class QInputMethodEvent;
class QLineEdit;

namespace t7::qt {

class QtBackend;
class QtFormView;

// The top-level window of a form. Enter presses the form's default button
// (or the focused button); the close box unloads the form.
class QtFormWindow : public QWidget {
public:
    QtFormWindow(QtFormView* view, bool dialog);
    void detach() { m_view = nullptr; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QtFormView* m_view;
};

class QtFormView : public QObject, public IFormView {
public:
    QtFormView(QtBackend& backend, Form& form);
    ~QtFormView() override;

    void controlAdded(Control& control) override;
    void controlChanged(Control& control, ControlProperty what) override;
    void formChanged(FormProperty what) override;

    Form& form() const { return m_form; }
    QtFormWindow* window() const { return m_window; }
    QWidget* widgetOf(const Control& control) const;
    bool windowShown() const;
    void setModalLoop(QEventLoop* loop) { m_modalLoop = loop; }

    // From the window.
    void enterPressed();
    // Esc: the form's cancel button.
    void escapePressed();
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* createWidget(Control& control);
    void connectInput(Control& control, QWidget* widget);
    void applyAll(Control& control);
    void applyGeometry(Control& control);
    void applyText(Control& control);
    void applyList(Control& control);
    void applyListIndex(Control& control);
    void applyFont(Control& control);
    void applyFormGeometry();
    void updateTabOrder();
    bool keyIntoTextBox(Control& control, QLineEdit* edit, QKeyEvent* event);
    bool inputMethodIntoTextBox(Control& control, QLineEdit* edit, QInputMethodEvent* event);
    bool typeIntoTextBox(Control& control, QLineEdit* edit, const std::wstring& codes);
    Control* controlOf(QObject* object) const;

    QtBackend& m_backend;
    Form& m_form;
    QPointer<QtFormWindow> m_window;
    std::map<const Control*, QWidget*> m_widgets;
    // Set while widgets are brought up to date from the controls, so that
    // the toolkit's own signals are not taken for the operator's input.
    int m_syncing = 0;
    bool m_positioned = false;
    // Set while an event the filter has reworked goes on to its box.
    bool m_passingInput = false;
    QEventLoop* m_modalLoop = nullptr;
};

}  // namespace t7::qt
