#include "ui/qt/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "ui/qt/QtFonts.h"

namespace t7::qt {
namespace {

QString boxText(const std::wstring& text) {
    QString shown = QString::fromStdWString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QMessageBox::Icon boxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Critical:
            return QMessageBox::Critical;
        case MsgIcon::Exclamation:
            return QMessageBox::Warning;
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QMessageBox* buildMessageBox(const MessageBoxRequest& request) {
    // Owned by the window that is modal at the moment, so that the box sits
    // above it; a box at start-up has no window to sit on.
    QWidget* owner = QApplication::activeModalWidget();
    if (!owner) owner = QApplication::activeWindow();
    auto* box = new QMessageBox(owner);
    box->setObjectName(QStringLiteral("messageBox"));
    box->setWindowTitle(QString::fromStdWString(request.shownTitle()));
    box->setTextFormat(Qt::PlainText);
    box->setText(boxText(request.text));
    box->setIcon(boxIcon(request.icon));
    box->setWindowModality(Qt::ApplicationModal);
    if (request.buttons == MsgButtons::YesNo) {
        QPushButton* yes = box->addButton(QMessageBox::Yes);
        QPushButton* no = box->addButton(QMessageBox::No);
        yes->setText(QStringLiteral("是(&Y)"));
        no->setText(QStringLiteral("否(&N)"));
        box->setDefaultButton(request.defaultButton == 2 ? no : yes);
    } else {
        QPushButton* ok = box->addButton(QMessageBox::Ok);
        ok->setText(QStringLiteral("确定"));
        box->setDefaultButton(ok);
    }
    return box;
}

MsgResult QtMessageBoxService::show(const MessageBoxRequest& request) {
    QMessageBox* box = buildMessageBox(request);
    const int pressed = box->exec();
    delete box;
    if (request.buttons == MsgButtons::YesNo) {
        // Escape or the close box counts as No, the box's escape button.
        return pressed == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    }
    return MsgResult::Ok;
}

}  // namespace t7::qt
