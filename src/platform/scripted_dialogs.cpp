#include "platform/scripted_dialogs.h"

namespace platform {

ScriptedDialogs::ScriptedDialogs()
    : previous_(setDialogs(this)) {}

ScriptedDialogs::~ScriptedDialogs()
{
    setDialogs(previous_);
}

QStringList ScriptedDialogs::messageTexts() const
{
    QStringList texts;
    for (const Message& message : messages_)
        texts << message.text;
    return texts;
}

void ScriptedDialogs::clear()
{
    messages_.clear();
    fileOpens_.clear();
    answers_.clear();
    files_.clear();
}

MessageAnswer ScriptedDialogs::showMessage(const MessageRequest& request)
{
    messages_.push_back({request.kind, request.owner, request.text, request.caption, request.icon,
                         request.buttons, request.details});
    if (whileShown_)
        whileShown_(messages_.back());
    if (request.buttons == MessageButtons::Ok)
        return MessageAnswer::Yes;
    MessageAnswer answer = defaultAnswer_;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    // "No" to a box of OK and Cancel is its Cancel.
    if (answer == MessageAnswer::No && request.buttons == MessageButtons::OkCancel)
        return MessageAnswer::Cancel;
    return answer;
}

QString ScriptedDialogs::showFileOpen(const FileOpenRequest& request)
{
    fileOpens_.push_back({request.owner, request.title, request.filters, request.folder,
                          request.fileName, request.folderOnly});
    if (files_.empty())
        return {};
    QString path = files_.front();
    files_.pop_front();
    return path;
}

}  // namespace platform
