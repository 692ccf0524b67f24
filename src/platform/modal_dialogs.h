#pragma once

#include "platform/dialogs.h"

#include <memory>

class QFileDialog;
class QMessageBox;

namespace platform {

// Dialogs shown as real modal Qt windows: QMessageBox and QFileDialog.
class ModalDialogs : public Dialogs {
public:
    // The box and the dialog as they are shown, built but not yet shown.
    // The file dialog is always Qt's own, so that it speaks the program's
    // language whatever the desktop.
    static std::unique_ptr<QMessageBox> makeMessageBox(const MessageRequest& request);
    static std::unique_ptr<QFileDialog> makeFileDialog(const FileOpenRequest& request);

protected:
    MessageAnswer showMessage(const MessageRequest& request) override;
    QString showFileOpen(const FileOpenRequest& request) override;
};

}  // namespace platform
