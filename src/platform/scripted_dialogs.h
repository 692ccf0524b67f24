#pragma once

#include "platform/dialogs.h"

#include <QPointer>
#include <QWidget>

#include <deque>
#include <functional>
#include <vector>

namespace platform {

// Dialogs for tests: nothing is shown; every request is recorded and answered
// from queues the test fills. Constructing one installs it as the process-wide
// dialogs, destroying it puts the previous ones back.
class ScriptedDialogs : public Dialogs {
public:
    struct Message {
        MessageKind kind;
        QPointer<QWidget> owner;
        QString text;
        QString caption;
        MessageIcon icon;
        MessageButtons buttons;
        QString details;
    };
    struct FileOpen {
        QPointer<QWidget> owner;
        QString title;
        QStringList filters;
        QString folder;
        QString fileName;
        bool folderOnly = false;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Answers for boxes with OK and Cancel, Yes and No, or Yes, No and
    // Cancel, taken in order (true = OK or Yes; false = Cancel or No).
    // Boxes with only OK take no answer. With the queue empty the default
    // answer is used, OK unless changed.
    void queueAnswer(bool ok) { answers_.push_back(ok ? MessageAnswer::Yes : MessageAnswer::No); }
    void queueAnswer(MessageAnswer answer) { answers_.push_back(answer); }
    void setDefaultAnswer(bool ok) { defaultAnswer_ = ok ? MessageAnswer::Yes : MessageAnswer::No; }
    // Called with every box while it is shown, before it is answered: what
    // happens elsewhere while the clerk reads it.
    void whileShown(std::function<void(const Message&)> action) { whileShown_ = std::move(action); }
    // Answers for the file-open dialog (choosing a file or a folder), taken
    // in order; an empty path means Cancel, which is also the answer once the
    // queue is empty.
    void queueFile(const QString& path) { files_.push_back(path); }

    const std::vector<Message>& messages() const { return messages_; }
    const std::vector<FileOpen>& fileOpens() const { return fileOpens_; }
    // Texts of all boxes shown so far, in order.
    QStringList messageTexts() const;
    int pendingAnswers() const { return static_cast<int>(answers_.size()); }
    void clear();

protected:
    MessageAnswer showMessage(const MessageRequest& request) override;
    QString showFileOpen(const FileOpenRequest& request) override;

private:
    Dialogs* previous_ = nullptr;
    std::vector<Message> messages_;
    std::vector<FileOpen> fileOpens_;
    std::deque<MessageAnswer> answers_;
    std::deque<QString> files_;
    MessageAnswer defaultAnswer_ = MessageAnswer::Yes;
    std::function<void(const Message&)> whileShown_;
};

}  // namespace platform
