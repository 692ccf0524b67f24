#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace platform {

enum class MessageIcon { None, Information, Question, Warning, Error };

// Which buttons a message box offers.
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };

// The button a box was closed with: OK counts as Yes; closing the box
// counts as its escape button (No, or Cancel where the box has one).
enum class MessageAnswer { Yes, No, Cancel };

// Which of the Dialogs calls asked for a box.
enum class MessageKind { Question, Information, Warning, Error };

struct MessageRequest {
    MessageKind kind = MessageKind::Information;
    QWidget* owner = nullptr;
    QString text;
    QString caption;  // shown as is; may be empty
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    QString details;  // for support, behind the box's "详细信息" button; may be empty
};

struct FileOpenRequest {
    QWidget* owner = nullptr;
    QString title;
    QStringList filters;  // "name|pattern[;pattern]" entries, the first one selected
    QString folder;       // empty: the dialog's default folder
    QString fileName;     // pre-filled into the file name box
    bool folderOnly = false;  // a folder is chosen, not a file
};

// Every modal message box and the file-open dialog of the program go through
// this interface, so that tests can answer them without a real dialog.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A box with OK and Cancel; true when the user chose OK. Closing the box
    // counts as Cancel.
    bool question(QWidget* owner, const QString& text, const QString& caption,
                  MessageIcon icon = MessageIcon::Question);
    // A box with Yes and No; true when the user chose Yes. Closing the box
    // counts as No.
    bool choose(QWidget* owner, const QString& text, const QString& caption,
                MessageIcon icon = MessageIcon::Question);
    // A box with Yes, No and Cancel. Closing the box counts as Cancel.
    MessageAnswer chooseOrCancel(QWidget* owner, const QString& text, const QString& caption,
                                 MessageIcon icon = MessageIcon::Question);
    // Boxes with only an OK button.
    void information(QWidget* owner, const QString& text, const QString& caption,
                     MessageIcon icon = MessageIcon::Information);
    void warning(QWidget* owner, const QString& text, const QString& caption,
                 MessageIcon icon = MessageIcon::Warning);
    void error(QWidget* owner, const QString& text, const QString& caption,
               MessageIcon icon = MessageIcon::Error, const QString& details = QString());

    // The file-open dialog; returns the chosen file's full path, or an empty
    // string when the user cancels.
    QString openFile(QWidget* owner, const QString& title, const QStringList& filters,
                     const QString& folder, const QString& fileName);

    // The same dialog choosing a folder; returns its full path, or an empty
    // string when the user cancels.
    QString chooseFolder(QWidget* owner, const QString& title, const QString& folder);

protected:
    // Shows a modal box and returns the button it was closed with.
    virtual MessageAnswer showMessage(const MessageRequest& request) = 0;
    virtual QString showFileOpen(const FileOpenRequest& request) = 0;
};

// The process-wide dialogs. Unless another implementation is installed, the
// modal Qt message boxes and file dialog are used.
Dialogs& dialogs();
// Installs an implementation (nullptr: back to the Qt one) and returns the one
// installed before, so that callers can put it back.
Dialogs* setDialogs(Dialogs* replacement);

// Turns "EXCEL|*.xls" into Qt's "EXCEL (*.xls)"; several patterns separated
// by ';' become a space-separated list. Entries without '|' are kept as they are.
QString toQtNameFilter(const QString& filter);

}  // namespace platform
