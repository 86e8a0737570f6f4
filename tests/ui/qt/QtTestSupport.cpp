#include "QtTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <map>
#include <memory>

#include "base/Text.h"
#include "ui/qt/QtBackend.h"

namespace t7::test {
namespace {

// One QApplication for the whole program: Qt allows only one at a time.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "test_ui_qt";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_app.reset();
    }

private:
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

std::string saveScreenshot(QWidget* widget, const std::string& name) {
    const char* binary = std::getenv("T7_BINARY_DIR");
    QDir dir(QString::fromUtf8(binary ? binary : "."));
    if (!dir.mkpath(QStringLiteral("screenshots"))) return {};
    const QString file = dir.filePath(QStringLiteral("screenshots/%1.png").arg(QString::fromStdString(name)));
    if (!widget->grab().save(file, "PNG")) return {};
    return file.toStdString();
}

void whenLoopRuns(std::function<void()> action) {
    QTimer::singleShot(0, std::move(action));
}

QWidget* activeMessageBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

QRect expectedGeometry(const Control& control) {
    using qt::twipsToPixels;
    return QRect(twipsToPixels(control.left()), twipsToPixels(control.top()), twipsToPixels(control.width()),
                 twipsToPixels(control.height()));
}

namespace {

// The caption or text a widget shows.
QString shownText(QWidget* widget) {
    if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    return {};
}

}  // namespace

void expectRenderedAsLaid(Form& form) {
    QWidget* window = qt::QtBackend::windowOf(form);
    ASSERT_NE(window, nullptr) << toUtf8(form.name());
    EXPECT_EQ(window->objectName(), QString::fromStdWString(form.name()));
    EXPECT_EQ(window->windowTitle(), QString::fromStdWString(form.caption()));
    EXPECT_EQ(window->size(),
              QSize(qt::twipsToPixels(form.clientWidth()), qt::twipsToPixels(form.clientHeight())));
    for (Control* control : form.controls()) {
        const std::string where = toUtf8(form.name() + L"." + control->displayName());
        QWidget* widget = qt::QtBackend::widgetOf(*control);
        ASSERT_NE(widget, nullptr) << where;
        EXPECT_EQ(widget->objectName(), QString::fromStdWString(control->displayName())) << where;
        QWidget* expectedParent = control->parent() ? qt::QtBackend::widgetOf(*control->parent()) : window;
        EXPECT_EQ(widget->parentWidget(), expectedParent) << where;
        EXPECT_EQ(widget->isVisibleTo(expectedParent), control->visible()) << where;
        EXPECT_EQ(widget->isEnabledTo(expectedParent), control->enabled()) << where;
        if (control->kind() == ControlKind::Line) {
            // Its box spans both ends.
            using qt::twipsToPixels;
            const QPoint start(twipsToPixels(control->left()), twipsToPixels(control->top()));
            const QPoint end(twipsToPixels(control->left() + control->width()),
                             twipsToPixels(control->top() + control->height()));
            EXPECT_EQ(widget->geometry(), QRect(start, end).normalized()) << where;
            continue;
        }
        EXPECT_EQ(widget->geometry(), expectedGeometry(*control)) << where;
        switch (control->kind()) {
            case ControlKind::Label:
            case ControlKind::TextBox:
            case ControlKind::ComboBox:
            case ControlKind::OptionButton:
            case ControlKind::CommandButton:
            case ControlKind::Frame:
                EXPECT_EQ(shownText(widget), QString::fromStdWString(control->text())) << where;
                break;
            default:
                break;
        }
        if (auto* list = qobject_cast<QListWidget*>(widget)) {
            QStringList items;
            for (const std::wstring& item : control->list()) items << QString::fromStdWString(item);
            QStringList shown;
            for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
            EXPECT_EQ(shown, items) << where;
            EXPECT_EQ(list->currentRow(), control->listIndex()) << where;
        }
        if (control->kind() == ControlKind::Frame) {
            EXPECT_EQ(qobject_cast<QGroupBox*>(widget) != nullptr, !control->text().empty()) << where;
        }
        if (control->kind() == ControlKind::TextBox) {
            auto* edit = qobject_cast<QLineEdit*>(widget);
            ASSERT_NE(edit, nullptr) << where;
            EXPECT_EQ(edit->echoMode() == QLineEdit::Password, control->passwordChar() != 0) << where;
        }
    }
}

}  // namespace t7::test

namespace t7::test {

std::vector<std::wstring> tabWalk(Form& form) {
    std::map<QWidget*, Control*> owners;
    for (Control* control : form.controls()) owners[qt::QtBackend::widgetOf(*control)] = control;
    std::vector<std::wstring> order;
    QWidget* window = qt::QtBackend::windowOf(form);
    for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisible() || !w->isEnabled()) continue;
        // A combo box's edit field belongs to the combo box.
        QWidget* owner = w;
        while (owner && !owners.count(owner)) owner = owner->parentWidget();
        if (!owner) continue;
        const std::wstring name = owners[owner]->displayName();
        if (order.empty() || order.back() != name) order.push_back(name);
    }
    return order;
}

}  // namespace t7::test
