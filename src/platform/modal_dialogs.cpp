#include "platform/modal_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

QMessageBox::Icon toQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

bool ModalDialogs::showMessage(const MessageRequest& request)
{
    QMessageBox box(request.owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.setWindowTitle(request.caption);
    box.setTextFormat(Qt::PlainText);
    box.setText(request.text);
    box.setIcon(toQtIcon(request.icon));

    QPushButton* ok = box.addButton(QMessageBox::Ok);
    box.setDefaultButton(ok);
    if (request.buttons == MessageButtons::OkCancel) {
        // With a Cancel button, Escape and closing the window both pick Cancel.
        QPushButton* cancel = box.addButton(QMessageBox::Cancel);
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.exec();
    return box.clickedButton() == ok;
}

QString ModalDialogs::showFileOpen(const FileOpenRequest& request)
{
    QFileDialog dialog(request.owner, request.title);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The caller checks itself whether the chosen file exists.
    dialog.setFileMode(QFileDialog::AnyFile);

    QStringList nameFilters;
    for (const QString& filter : request.filters)
        nameFilters << toQtNameFilter(filter);
    if (!nameFilters.isEmpty()) {
        dialog.setNameFilters(nameFilters);
        dialog.selectNameFilter(nameFilters.front());
    }
    if (!request.folder.isEmpty())
        dialog.setDirectory(request.folder);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);

    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace platform
