#pragma once

#include "platform/dialogs.h"

namespace platform {

// Dialogs shown as real modal Qt windows: QMessageBox and QFileDialog.
class ModalDialogs : public Dialogs {
protected:
    bool showMessage(const MessageRequest& request) override;
    QString showFileOpen(const FileOpenRequest& request) override;
};

}  // namespace platform
