#pragma once
// Message boxes of the Qt GUI: a modal QMessageBox with the request's title,
// text, icon, buttons and default button. show() nests an event loop and
// returns when the operator has answered.
#include "forms/MessageBox.h"

class QMessageBox;

namespace t7::qt {

// The Qt box for a request, not yet shown: tests inspect it, show() runs it.
// The text's carriage returns (with or without a line feed) break the line,
// as they do in a Windows message box.
QMessageBox* buildMessageBox(const MessageBoxRequest& request);

class QtMessageBoxService : public IMessageBoxService {
public:
    MsgResult show(const MessageBoxRequest& request) override;
};

}  // namespace t7::qt
