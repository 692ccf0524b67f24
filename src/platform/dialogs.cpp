#include "platform/dialogs.h"

#include "platform/modal_dialogs.h"

#include <utility>

namespace platform {

namespace {
Dialogs* installedDialogs = nullptr;
}  // namespace

bool Dialogs::question(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon)
{
    return showMessage({MessageKind::Question, owner, text, caption, icon, MessageButtons::OkCancel, {}}) ==
           MessageAnswer::Yes;
}

bool Dialogs::choose(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon)
{
    return showMessage({MessageKind::Question, owner, text, caption, icon, MessageButtons::YesNo, {}}) ==
           MessageAnswer::Yes;
}

MessageAnswer Dialogs::chooseOrCancel(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon)
{
    return showMessage({MessageKind::Question, owner, text, caption, icon, MessageButtons::YesNoCancel, {}});
}

void Dialogs::information(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon)
{
    showMessage({MessageKind::Information, owner, text, caption, icon, MessageButtons::Ok, {}});
}

void Dialogs::warning(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon)
{
    showMessage({MessageKind::Warning, owner, text, caption, icon, MessageButtons::Ok, {}});
}

void Dialogs::error(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
                    const QString& details)
{
    showMessage({MessageKind::Error, owner, text, caption, icon, MessageButtons::Ok, details});
}

QString Dialogs::openFile(QWidget* owner, const QString& title, const QStringList& filters,
                          const QString& folder, const QString& fileName)
{
    return showFileOpen({owner, title, filters, folder, fileName});
}

QString Dialogs::chooseFolder(QWidget* owner, const QString& title, const QString& folder)
{
    FileOpenRequest request{owner, title, {}, folder, {}};
    request.folderOnly = true;
    return showFileOpen(request);
}

Dialogs& dialogs()
{
    if (installedDialogs)
        return *installedDialogs;
    static ModalDialogs modal;
    return modal;
}

Dialogs* setDialogs(Dialogs* replacement)
{
    return std::exchange(installedDialogs, replacement);
}

QString toQtNameFilter(const QString& filter)
{
    const qsizetype bar = filter.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return filter;
    const QString name = filter.left(bar).trimmed();
    QStringList patterns = filter.mid(bar + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : patterns)
        pattern = pattern.trimmed();
    patterns.removeAll(QString());
    return name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace platform
