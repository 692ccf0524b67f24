#include "window_kit/undo_button.h"

#include "data/core/errors.h"
#include "data/engine/query.h"
#include "data/core/undo_journal.h"
#include "platform/dialogs.h"
#include "window_kit/shared_messages.h"
#include "window_kit/toolbar.h"
#include "window_kit/write_rights.h"

#include <QPointer>
#include <QToolBar>
#include <QToolButton>

namespace kit {

namespace {
// The two circling arrows of the image list.
constexpr int UndoIcon = 8;

// The tables of the window's last command this desk may not change; none
// when there is no command.
QStringList barredTables(data::UndoJournal& journal, const QString& window, data::Store* store, bool& hasCommand) {
    const std::vector<data::UndoEntry> entries = journal.entries(window);
    hasCommand = !entries.empty();
    if (!hasCommand || !store)
        return {};
    return tablesBarred(*store, entries.front().tables);
}
}  // namespace

QString undoCaption() { return QStringLiteral("撤销"); }

// Where desks share the tables, the question names the desk that ran the
// command: the last command of a window may be another desk's.
QString undoQuestion(const data::UndoEntry& entry) {
    return QStringLiteral("你真的要撤销%1上次的“%2”吗？（%3，%4条记录）")
        .arg(entry.desk, entry.command, entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .arg(entry.rows);
}

QString changedSinceQuestion(int rows) {
    return QStringLiteral("有%1条记录在之后被修改过，撤销会覆盖这些修改。仍要撤销吗？").arg(rows);
}

QString undoingText(const QString& command) { return QStringLiteral("正在撤销“%1”…").arg(command); }

QString undoneText(const QString& command, int rows) {
    return QStringLiteral("已撤销“%1”，恢复%2条记录").arg(command).arg(rows);
}

QToolButton* addUndoButton(QToolBar* bar, data::UndoJournal& journal, const QString& window,
                           const QList<data::Query*>& walked, std::function<void()> handler, data::Store* store) {
    QToolButton* button = addToolButton(bar, QStringLiteral("ToolButtonCX"), undoCaption(), UndoIcon, std::move(handler));
    QPointer<QToolButton> guard(button);
    QList<QPointer<data::Query>> queries;
    for (data::Query* query : walked)
        queries << QPointer<data::Query>(query);
    auto update = [guard, &journal, window, queries, store] {
        if (!guard)
            return;
        bool idle = true;
        for (const auto& query : queries)
            idle = idle && !(query && query->isBusy());
        bool hasCommand = false;
        const QStringList barred = barredTables(journal, window, store, hasCommand);
        guard->setEnabled(idle && hasCommand && barred.isEmpty());
        guard->setToolTip(barred.isEmpty() ? QString() : mayNotChangeText(barred));
    };
    journal.onChange(update);
    for (data::Query* query : walked)
        QObject::connect(query, &data::Query::busyChanged, button, update);
    update();
    return button;
}

bool undoLastCommand(QWidget* owner, data::UndoJournal& journal, const QString& window, StatusSink& status) {
    const std::vector<data::UndoEntry> entries = journal.entries(window);
    if (entries.empty())
        return false;
    const data::UndoEntry& last = entries.front();
    if (!platform::dialogs().question(owner, undoQuestion(last), noticeCaption()))
        return false;
    int changed = journal.changedSince(last.id);
    for (;;) {
        if (changed > 0 && !platform::dialogs().question(owner, changedSinceQuestion(changed), noticeCaption()))
            return false;
        status.setPanelText(ProgressPanel, undoingText(last.command));
        status.letEventsRun();
        try {
            const int rows = journal.undo(last.id);
            status.setPanelText(ProgressPanel, undoneText(last.command, rows));
            return true;
        } catch (const data::EngineError& e) {
            // Another desk changed rows after the question: asked again.
            if (e.kind() != data::ErrorKind::ChangedSinceAsked)
                throw;
            status.setPanelText(ProgressPanel, QString());
            changed = e.value().toInt();
        }
    }
}

}  // namespace kit
