#include "undo_commands.h"

#include "data/engine/engine.h"
#include "data/core/errors.h"
#include "data/core/undo_journal.h"
#include "platform/folder_lock.h"
#include "window_kit/fault_texts.h"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <memory>

namespace {

QString inUseMessage(const QString& dir, qint64 pid) {
    return QStringLiteral("程序正在使用文件夹“%1”中的表（进程号%2），请先退出程序再撤销。")
        .arg(QDir::toNativeSeparators(QDir(dir).absolutePath()))
        .arg(pid);
}

QString describe(int number, const data::UndoEntry& e) {
    return QStringLiteral("%1  %2  %3  “%4”  %5条记录  %6")
        .arg(number)
        .arg(e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), e.window, e.command)
        .arg(e.rows)
        .arg(e.tables.join(QLatin1Char(',')));
}

// Runs work with the folder of table files held, so that the program cannot
// start on it meanwhile; refuses when the program holds it. A server's
// journal is worked on as it is.
// Nothing recorded yet is an empty list, but nothing to undo.
int withFolder(const QString& dir, QTextStream& out, QTextStream& err, bool listing,
               const std::function<int(data::UndoJournal&)>& work) {
    try {
        data::Engine engine(dir);
        std::unique_ptr<platform::FolderLock> lock;
        if (const QString folder = engine.store().folder(); !folder.isEmpty()) {
            if (!QFileInfo(folder).isDir()) {
                err << QStringLiteral("文件夹“%1”不存在。").arg(QDir::toNativeSeparators(folder)) << "\n";
                return 1;
            }
            lock = std::make_unique<platform::FolderLock>(folder);
            if (!lock->isHeld()) {
                err << inUseMessage(folder, lock->holder()) << "\n";
                return 1;
            }
        }
        if (!engine.store().hasUndoJournal()) {
            (listing ? out : err) << QStringLiteral("没有可撤销的命令。") << "\n";
            return listing ? 0 : 1;
        }
        return work(engine.undoJournal());
    } catch (const data::EngineError& e) {
        // The tool's own words are Chinese already; the engine's are told by
        // their kind, and kept for support.
        const QString own = e.message();
        const bool chinese = std::any_of(own.begin(), own.end(), [](QChar ch) { return ch.unicode() >= 0x3400 && ch.unicode() <= 0x9fff; });
        if (chinese)
            err << own << "\n";
        else
            err << kit::faultReport(e).text << "\n" << QStringLiteral("（详细信息：%1）").arg(own) << "\n";
        return 1;
    }
}

}  // namespace

int listUndoRecords(const QString& dir, QTextStream& out, QTextStream& err) {
    return withFolder(dir, out, err, true, [&](data::UndoJournal& journal) {
        const std::vector<data::UndoEntry> entries = journal.entries();
        int number = 0;
        for (const data::UndoEntry& e : entries)
            out << describe(++number, e) << "\n";
        out << QStringLiteral("共%1条可撤销的命令，撤销记录占用%2 KB（每个表保留最近%3条命令）。")
                   .arg(entries.size())
                   .arg((journal.storageBytes() + 1023) / 1024)
                   .arg(data::UndoJournal::MaxCommandsPerTable)
            << "\n";
        return 0;
    });
}

int undoLastCommands(const QString& dir, int count, QTextStream& out, QTextStream& err,
                     const std::function<bool(const QString& question)>& confirm) {
    return withFolder(dir, out, err, false, [&](data::UndoJournal& journal) {
        for (int i = 0; i < count; ++i) {
            const std::vector<data::UndoEntry> entries = journal.entries();
            if (entries.empty()) {
                err << QStringLiteral("没有可撤销的命令。") << "\n";
                return 1;
            }
            const data::UndoEntry& last = entries.front();
            int changed = journal.changedSince(last.id);
            int rows = -1;
            while (rows < 0) {
                if (changed > 0 &&
                    !confirm(QStringLiteral("“%1”（%2）：有%3条记录在之后被修改过，撤销会覆盖这些修改。仍要撤销吗？")
                                 .arg(last.command, last.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                                 .arg(changed))) {
                    err << QStringLiteral("已停止，“%1”未撤销。").arg(last.command) << "\n";
                    return 1;
                }
                try {
                    rows = journal.undo(last.id);
                } catch (const data::EngineError& e) {
                    // Another desk changed rows after the question: asked again.
                    if (e.kind() != data::ErrorKind::ChangedSinceAsked)
                        throw;
                    changed = e.value().toInt();
                }
            }
            out << QStringLiteral("已撤销“%1”（%2，%3），恢复%4条记录。")
                       .arg(last.command, last.window, last.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                       .arg(rows)
                << "\n";
        }
        return 0;
    });
}
