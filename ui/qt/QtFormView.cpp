#include "ui/qt/QtFormView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <algorithm>

#include "forms/Form.h"
#include "ui/qt/QtBackend.h"
#include "ui/qt/QtFonts.h"
#include "ui/qt/QtPictures.h"

namespace t7::qt {
namespace {

const char* const kControlProperty = "t7control";

// A line control: a one-pixel line between its end points, drawn on top of
// whatever it crosses.
class LineWidget : public QWidget {
public:
    explicit LineWidget(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }
    // Directions of the line inside the widget's rectangle.
    void setRising(bool rising) {
        m_rising = rising;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        const int right = width() - 1;
        const int bottom = height() - 1;
        if (m_rising) {
            painter.drawLine(0, bottom, right, 0);
        } else {
            painter.drawLine(0, 0, right, bottom);
        }
    }

private:
    bool m_rising = false;
};

// An option button takes a click anywhere in its box, not only on its
// circle and caption, as the classic control does.
class OptionButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

Qt::Alignment alignmentOf(TextAlign align) {
    switch (align) {
        case TextAlign::Right:
            return Qt::AlignRight;
        case TextAlign::Center:
            return Qt::AlignHCenter;
        case TextAlign::Left:
            break;
    }
    return Qt::AlignLeft;
}

QString qs(const std::wstring& text) {
    return QString::fromStdWString(text);
}

// The object name: the control's name, with the index for an array element.
QString objectNameOf(const Control& control) {
    return qs(control.displayName());
}

}  // namespace

QtFormWindow::QtFormWindow(QtFormView* view, bool dialog) : QWidget(nullptr), m_view(view) {
    Qt::WindowFlags flags = Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    flags |= dialog ? (Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
                    : (Qt::Window | Qt::WindowMinimizeButtonHint);
    setWindowFlags(flags);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void QtFormWindow::keyPressEvent(QKeyEvent* event) {
    if (m_view && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        m_view->enterPressed();
        return;
    }
    if (m_view && event->key() == Qt::Key_Escape) {
        m_view->escapePressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

void QtFormWindow::closeEvent(QCloseEvent* event) {
    // The form decides: the close box unloads it, and its view then hides
    // and releases this window.
    event->ignore();
    if (m_view) m_view->closeRequested();
}

QtFormView::QtFormView(QtBackend& backend, Form& form) : m_backend(backend), m_form(form) {
    const FormLayout& layout = form.layout();
    m_window = new QtFormWindow(this, layout.dialog);
    m_window->setObjectName(qs(form.name()));
    m_window->setWindowTitle(qs(form.caption()));
    m_window->setFont(formFont(qs(layout.font.name), layout.font.size, layout.font.bold));
    applyFormGeometry();

    // Frames first come into being with the window as parent; every widget
    // is then moved into its frame, so the layout's order does not matter.
    for (Control* control : form.controls()) m_widgets[control] = createWidget(*control);
    for (Control* control : form.controls()) applyAll(*control);
    // Lines are drawn over the frames they run along.
    for (Control* control : form.controls()) {
        if (control->kind() == ControlKind::Line) m_widgets[control]->raise();
    }
    updateTabOrder();
    backend.viewCreated(this);
}

QtFormView::~QtFormView() {
    if (m_modalLoop) m_modalLoop->quit();
    if (m_window) {
        m_window->detach();
        m_window->hide();
        // Deferred: the unload may run inside one of this window's own
        // event handlers (its close box, a button's click).
        m_window->deleteLater();
    }
    m_backend.viewDestroyed(this);
}

QWidget* QtFormView::widgetOf(const Control& control) const {
    auto it = m_widgets.find(&control);
    return it == m_widgets.end() ? nullptr : it->second;
}

bool QtFormView::windowShown() const {
    return m_window && m_window->isVisible();
}

Control* QtFormView::controlOf(QObject* object) const {
    for (QObject* o = object; o; o = o->parent()) {
        const QVariant v = o->property(kControlProperty);
        if (v.isValid()) return static_cast<Control*>(v.value<void*>());
    }
    return nullptr;
}

QWidget* QtFormView::createWidget(Control& control) {
    QWidget* parent = m_window;
    QWidget* widget = nullptr;
    switch (control.kind()) {
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            // Captions wrap inside the label's box, as a classic label's do.
            label->setWordWrap(true);
            widget = label;
            break;
        }
        case ControlKind::TextBox: {
            auto* edit = new QLineEdit(parent);
            if (control.passwordChar() != 0) {
                edit->setEchoMode(QLineEdit::Password);
                edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: %1; }")
                                        .arg(static_cast<int>(control.passwordChar())));
            }
            edit->installEventFilter(this);
            widget = edit;
            break;
        }
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(control.def().comboStyle == ComboStyle::DropDownCombo);
            combo->setInsertPolicy(QComboBox::NoInsert);
            if (combo->lineEdit()) combo->lineEdit()->installEventFilter(this);
            widget = combo;
            break;
        }
        case ControlKind::ListBox:
            widget = new QListWidget(parent);
            break;
        case ControlKind::OptionButton: {
            auto* option = new OptionButton(parent);
            // The runtime clears the other buttons of the frame.
            option->setAutoExclusive(false);
            widget = option;
            break;
        }
        case ControlKind::Frame:
            if (control.text().empty()) {
                auto* frame = new QFrame(parent);
                frame->setFrameShape(QFrame::Box);
                frame->setFrameShadow(QFrame::Sunken);
                widget = frame;
            } else {
                widget = new QGroupBox(parent);
            }
            break;
        case ControlKind::CommandButton: {
            auto* button = new QPushButton(parent);
            button->setAutoDefault(false);
            button->setDefault(control.isDefault());
            widget = button;
            break;
        }
        case ControlKind::PictureBox:
        case ControlKind::Image: {
            const QPixmap picture = bundledPicture(qs(control.def().picture));
            if (picture.isNull() && control.kind() == ControlKind::PictureBox) {
                // An empty picture box shows its sunken border; one a pixel
                // or two high is an etched separator.
                auto* frame = new QFrame(parent);
                if (twipsToPixels(control.height()) <= 2) {
                    frame->setFrameShape(QFrame::HLine);
                    frame->setFrameShadow(QFrame::Plain);
                    frame->setForegroundRole(QPalette::Mid);
                } else {
                    frame->setFrameShape(QFrame::Panel);
                    frame->setFrameShadow(QFrame::Sunken);
                }
                widget = frame;
            } else {
                auto* label = new QLabel(parent);
                label->setPixmap(picture);
                label->setScaledContents(true);
                widget = label;
            }
            break;
        }
        case ControlKind::Line:
            widget = new LineWidget(parent);
            break;
    }
    widget->setObjectName(objectNameOf(control));
    widget->setProperty(kControlProperty, QVariant::fromValue(static_cast<void*>(&control)));
    if (!control.def().toolTip.empty()) widget->setToolTip(qs(control.def().toolTip));
    if (const auto& color = control.def().backColor) {
        QPalette palette = widget->palette();
        const QColor c(static_cast<QRgb>(*color));
        palette.setColor(QPalette::Window, c);
        palette.setColor(QPalette::Base, c);
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    }
    connectInput(control, widget);
    return widget;
}

void QtFormView::connectInput(Control& control, QWidget* widget) {
    Control* c = &control;
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        connect(button, &QPushButton::clicked, this, [this, c] {
            if (m_syncing == 0) m_backend.deliver([c] { c->click(); });
        });
    } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
        connect(option, &QRadioButton::clicked, this, [this, c, option] {
            if (m_syncing > 0) return;
            QPointer<QtFormView> self(this);
            QPointer<QRadioButton> guard(option);
            m_backend.deliver([c] { c->click(); });
            // The button toggled itself; the control says what it shows.
            if (self && guard && self->m_widgets.count(c)) {
                ++m_syncing;
                option->setChecked(c->value());
                --m_syncing;
            }
        });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        connect(combo, &QComboBox::activated, this, [this, c](int index) {
            if (m_syncing == 0 && index >= 0) m_backend.deliver([c, index] { c->select(index); });
        });
        if (QLineEdit* edit = combo->lineEdit()) {
            connect(edit, &QLineEdit::textEdited, this, [this, c](const QString& text) {
                if (m_syncing == 0) m_backend.deliver([c, text] { c->userEditedText(text.toStdWString()); });
            });
        }
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        connect(list, &QListWidget::currentRowChanged, this, [this, c](int row) {
            if (m_syncing == 0 && row >= 0) m_backend.deliver([c, row] { c->select(row); });
        });
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        connect(edit, &QLineEdit::textEdited, this, [this, c](const QString& text) {
            if (m_syncing == 0) m_backend.deliver([c, text] { c->userEditedText(text.toStdWString()); });
        });
    }
}

void QtFormView::applyAll(Control& control) {
    QWidget* widget = m_widgets[&control];
    ++m_syncing;
    if (Control* parent = control.parent()) {
        widget->setParent(m_widgets[parent]);
    } else {
        widget->setParent(m_window);
    }
    --m_syncing;
    applyGeometry(control);
    applyFont(control);
    applyList(control);
    applyText(control);
    applyListIndex(control);
    controlChanged(control, ControlProperty::Value);
    controlChanged(control, ControlProperty::Enabled);
    controlChanged(control, ControlProperty::Alignment);
    controlChanged(control, ControlProperty::Visible);
}

void QtFormView::applyGeometry(Control& control) {
    QWidget* widget = m_widgets[&control];
    if (control.kind() == ControlKind::Line) {
        // left/top are one end, width/height run to the other.
        const int x1 = twipsToPixels(control.left());
        const int y1 = twipsToPixels(control.top());
        const int x2 = twipsToPixels(control.left() + control.width());
        const int y2 = twipsToPixels(control.top() + control.height());
        widget->setGeometry(std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1) + 1, std::abs(y2 - y1) + 1);
        static_cast<LineWidget*>(widget)->setRising((x2 - x1) * (y2 - y1) < 0);
        return;
    }
    widget->setGeometry(twipsToPixels(control.left()), twipsToPixels(control.top()),
                        twipsToPixels(control.width()), twipsToPixels(control.height()));
}

void QtFormView::applyText(Control& control) {
    QWidget* widget = m_widgets[&control];
    const QString text = qs(control.text());
    ++m_syncing;
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (control.kind() == ControlKind::Label) label->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->text() != text) edit->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->isEditable()) {
            if (combo->currentText() != text) combo->setEditText(text);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    }
    --m_syncing;
}

void QtFormView::applyList(Control& control) {
    QWidget* widget = m_widgets[&control];
    QStringList items;
    for (const std::wstring& item : control.list()) items << qs(item);
    ++m_syncing;
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->clear();
        combo->addItems(items);
        combo->setCurrentIndex(control.listIndex());
        if (combo->isEditable()) combo->setEditText(qs(control.text()));
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        list->clear();
        list->addItems(items);
        list->setCurrentRow(control.listIndex());
    }
    --m_syncing;
}

void QtFormView::applyListIndex(Control& control) {
    QWidget* widget = m_widgets[&control];
    ++m_syncing;
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->setCurrentIndex(control.listIndex());
        if (combo->isEditable()) combo->setEditText(qs(control.text()));
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        if (control.listIndex() < 0) {
            list->clearSelection();
            list->setCurrentRow(-1);
        } else {
            list->setCurrentRow(control.listIndex());
        }
    }
    --m_syncing;
}

void QtFormView::applyFont(Control& control) {
    const Font& font = control.font();
    m_widgets[&control]->setFont(formFont(qs(font.name), font.size, font.bold));
}

void QtFormView::applyFormGeometry() {
    m_window->setFixedSize(twipsToPixels(m_form.clientWidth()), twipsToPixels(m_form.clientHeight()));
}

void QtFormView::updateTabOrder() {
    // Every tab stop, hidden ones too: Tab skips what is hidden or disabled
    // at the moment, so a step frame shown later is already in order.
    std::vector<Control*> stops;
    for (Control* control : m_form.controls()) {
        if (control->tabIndex() >= 0 && (m_widgets[control]->focusPolicy() & Qt::TabFocus)) {
            stops.push_back(control);
        }
    }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const Control* a, const Control* b) { return a->tabIndex() < b->tabIndex(); });
    for (size_t i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(m_widgets[stops[i - 1]], m_widgets[stops[i]]);
}

void QtFormView::controlAdded(Control& control) {
    m_widgets[&control] = createWidget(control);
    applyAll(control);
    updateTabOrder();
}

void QtFormView::controlChanged(Control& control, ControlProperty what) {
    QWidget* widget = widgetOf(control);
    if (!widget) return;
    switch (what) {
        case ControlProperty::Text:
            applyText(control);
            break;
        case ControlProperty::Geometry:
            applyGeometry(control);
            break;
        case ControlProperty::Visible:
            widget->setVisible(control.visible());
            break;
        case ControlProperty::Enabled:
            widget->setEnabled(control.enabled());
            break;
        case ControlProperty::List:
            applyList(control);
            break;
        case ControlProperty::ListIndex:
            applyListIndex(control);
            break;
        case ControlProperty::Value:
            if (auto* option = qobject_cast<QRadioButton*>(widget)) {
                ++m_syncing;
                option->setChecked(control.value());
                --m_syncing;
            }
            break;
        case ControlProperty::TabIndex:
            updateTabOrder();
            break;
        case ControlProperty::Font:
            applyFont(control);
            break;
        case ControlProperty::Alignment:
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                label->setAlignment(alignmentOf(control.alignment()) | Qt::AlignTop);
            } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
                edit->setAlignment(alignmentOf(control.alignment()) | Qt::AlignVCenter);
            }
            break;
    }
}

void QtFormView::formChanged(FormProperty what) {
    if (!m_window) return;
    switch (what) {
        case FormProperty::Caption:
            m_window->setWindowTitle(qs(m_form.caption()));
            break;
        case FormProperty::Position:
            m_window->move(twipsToPixels(m_form.left()), twipsToPixels(m_form.top()));
            m_positioned = true;
            break;
        case FormProperty::Size:
            applyFormGeometry();
            break;
        case FormProperty::Visible:
            if (m_form.isVisible()) {
                if (!m_positioned) {
                    // A form that never set its position opens in the middle
                    // of the screen.
                    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
                    QRect frame(QPoint(0, 0), m_window->size());
                    frame.moveCenter(screen.center());
                    m_window->move(frame.topLeft());
                    m_positioned = true;
                }
                m_window->setWindowModality(m_form.isModal() ? Qt::ApplicationModal : Qt::NonModal);
                m_window->show();
                m_window->raise();
                m_window->activateWindow();
            } else {
                m_window->hide();
                if (m_modalLoop) m_modalLoop->quit();
            }
            m_backend.visibilityChanged();
            break;
        case FormProperty::MousePointer:
            if (m_form.mousePointer() == MousePointer::Hourglass) {
                m_window->setCursor(Qt::WaitCursor);
            } else {
                m_window->unsetCursor();
            }
            break;
    }
}

void QtFormView::escapePressed() {
    m_backend.deliver([this] { m_form.pressEscape(); });
}

void QtFormView::enterPressed() {
    QWidget* focus = QApplication::focusWidget();
    Control* focused = focus ? controlOf(focus) : nullptr;
    // A focused button takes Enter itself, as on Windows.
    if (focused && focused->kind() == ControlKind::CommandButton) {
        m_backend.deliver([focused] { focused->click(); });
        return;
    }
    m_backend.deliver([this] { m_form.pressEnter(); });
}

void QtFormView::closeRequested() {
    m_backend.deliver([this] { m_form.unload(); });
}

bool QtFormView::eventFilter(QObject* watched, QEvent* event) {
    if (m_passingInput) return false;
    auto* edit = qobject_cast<QLineEdit*>(watched);
    Control* control = controlOf(watched);
    if (!edit || !control) return false;
    if (event->type() == QEvent::KeyPress)
        return keyIntoTextBox(*control, edit, static_cast<QKeyEvent*>(event));
    if (event->type() == QEvent::InputMethod) {
        return inputMethodIntoTextBox(*control, edit, static_cast<QInputMethodEvent*>(event));
    }
    return false;
}

bool QtFormView::keyIntoTextBox(Control& control, QLineEdit* edit, QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Enter in a box presses the default button.
        m_backend.deliver([this] { m_form.pressEnter(); });
        return true;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (key == Qt::Key_Backspace && mods == Qt::NoModifier) {
        typeIntoTextBox(control, edit, std::wstring(1, static_cast<wchar_t>(kKeyBackspace)));
        return true;
    }
    if (mods == Qt::ControlModifier && key >= Qt::Key_A && key <= Qt::Key_Z) {
        // Ctrl+letter arrives as its control code; if KeyPress lets it
        // through, the box does what the key means (paste, copy, cut).
        return !typeIntoTextBox(control, edit, std::wstring(1, static_cast<wchar_t>(key - Qt::Key_A + 1)));
    }
    if (mods == Qt::NoModifier && !event->text().isEmpty() && event->text().at(0).isPrint()) {
        typeIntoTextBox(control, edit, event->text().toStdWString());
        return true;
    }
    return false;  // navigation, Delete and the like: the box's own business
}

// Text an input method commits (Chinese entered through an IME) is typed
// like keys, so KeyPress sees every character; the composition still in
// progress goes on to the box.
bool QtFormView::inputMethodIntoTextBox(Control& control, QLineEdit* edit, QInputMethodEvent* event) {
    if (event->commitString().isEmpty()) return false;
    QPointer<QLineEdit> guard(edit);
    const QString preedit = event->preeditString();
    const QList<QInputMethodEvent::Attribute> attributes = event->attributes();
    typeIntoTextBox(control, edit, event->commitString().toStdWString());
    if (guard && !preedit.isEmpty()) {
        QInputMethodEvent rest(preedit, attributes);
        m_passingInput = true;
        QCoreApplication::sendEvent(edit, &rest);
        m_passingInput = false;
    }
    return true;
}

// Typing goes through the control, which edits at the end of its text: the
// cursor is put there first, and a selection that reaches the end is removed
// as an edit of its own. Returns false when KeyPress discarded a control key.
bool QtFormView::typeIntoTextBox(Control& control, QLineEdit* edit, const std::wstring& codes) {
    const bool controlKey = codes.size() == 1 && codes[0] < 32 && codes[0] != kKeyBackspace;
    QPointer<QtFormView> self(this);
    QPointer<QLineEdit> guard(edit);
    bool accepted = true;
    m_backend.deliver([&] {
        if (!controlKey && edit->hasSelectedText() &&
            edit->selectionStart() + edit->selectedText().size() == edit->text().size()) {
            const QString rest = edit->text().left(edit->selectionStart());
            ++m_syncing;
            edit->setText(rest);
            --m_syncing;
            control.userEditedText(rest.toStdWString());
        }
        for (wchar_t ch : codes) accepted = control.type(ch) && accepted;
    });
    if (self && guard && m_widgets.count(&control) && !controlKey)
        edit->setCursorPosition(edit->text().size());
    return accepted;
}

}  // namespace t7::qt
