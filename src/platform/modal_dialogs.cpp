#include "platform/modal_dialogs.h"

#include "platform/plain_file_icons.h"

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

std::unique_ptr<QMessageBox> ModalDialogs::makeMessageBox(const MessageRequest& request)
{
    auto box = std::make_unique<QMessageBox>(request.owner);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(request.caption);
    box->setTextFormat(Qt::PlainText);
    box->setText(request.text);
    box->setIcon(toQtIcon(request.icon));
    if (!request.details.isEmpty())
        box->setDetailedText(request.details);

    if (request.buttons == MessageButtons::YesNo) {
        // Escape and closing the window pick No.
        box->setDefaultButton(box->addButton(QMessageBox::Yes));
        box->setEscapeButton(box->addButton(QMessageBox::No));
        return box;
    }
    if (request.buttons == MessageButtons::YesNoCancel) {
        // Escape and closing the window pick Cancel.
        box->setDefaultButton(box->addButton(QMessageBox::Yes));
        box->addButton(QMessageBox::No);
        box->setEscapeButton(box->addButton(QMessageBox::Cancel));
        return box;
    }
    QPushButton* ok = box->addButton(QMessageBox::Ok);
    box->setDefaultButton(ok);
    if (request.buttons == MessageButtons::OkCancel) {
        // With a Cancel button, Escape and closing the window both pick Cancel.
        QPushButton* cancel = box->addButton(QMessageBox::Cancel);
        box->setEscapeButton(cancel);
    } else {
        box->setEscapeButton(ok);
    }
    return box;
}

MessageAnswer ModalDialogs::showMessage(const MessageRequest& request)
{
    const std::unique_ptr<QMessageBox> box = makeMessageBox(request);
    box->exec();
    const QAbstractButton* clicked = box->clickedButton();
    if (clicked == nullptr)
        return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
    if (clicked == box->button(QMessageBox::Yes) || clicked == box->button(QMessageBox::Ok))
        return MessageAnswer::Yes;
    if (clicked == box->button(QMessageBox::No))
        return MessageAnswer::No;
    return MessageAnswer::Cancel;
}

std::unique_ptr<QFileDialog> ModalDialogs::makeFileDialog(const FileOpenRequest& request)
{
    auto dialog = std::make_unique<QFileDialog>(request.owner, request.title);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    // Listing the data folder must not open the tables (see PlainFileIcons).
    dialog->setIconProvider(&plainFileIcons());
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    // The caller checks itself whether the chosen file exists.
    dialog->setFileMode(request.folderOnly ? QFileDialog::Directory : QFileDialog::AnyFile);
    if (request.folderOnly)
        dialog->setOption(QFileDialog::ShowDirsOnly);

    QStringList nameFilters;
    for (const QString& filter : request.filters)
        nameFilters << toQtNameFilter(filter);
    if (!nameFilters.isEmpty()) {
        dialog->setNameFilters(nameFilters);
        dialog->selectNameFilter(nameFilters.front());
    }
    if (!request.folder.isEmpty())
        dialog->setDirectory(request.folder);
    if (!request.fileName.isEmpty())
        dialog->selectFile(request.fileName);
    return dialog;
}

QString ModalDialogs::showFileOpen(const FileOpenRequest& request)
{
    const std::unique_ptr<QFileDialog> dialog = makeFileDialog(request);
    if (dialog->exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog->selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.front();
}

}  // namespace platform
