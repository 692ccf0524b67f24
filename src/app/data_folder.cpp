#include "app/data_folder.h"

#include "data/engine/engine.h"
#include "data/core/schema.h"
#include "data/engine/open_store.h"
#include "paradox/paradox_import.h"
#include "paradox/paradox_table.h"
#include "platform/dialogs.h"
#include "platform/error_display.h"
#include "table_places.h"
#include "window_kit/fault_texts.h"
#include "window_kit/shared_messages.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace app {

namespace {

// The file in folder whose name is fileName regardless of case, or empty.
QString findFile(const QDir& folder, const QString& fileName)
{
    for (const QString& entry : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0)
            return folder.filePath(entry);
    return {};
}

QString nativeNames(const QStringList& paths)
{
    QStringList names;
    for (const QString& path : paths)
        names << QFileInfo(path).fileName();
    return names.join(QStringLiteral("、"));
}

bool holdsChinese(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

// Why a record was left out, in Chinese: the window's own duplicate messages
// as they are; the details of anything else are in the table tool's output.
QString problemText(const paradox::RecordProblem& problem)
{
    if (problem.unreadable)
        return QStringLiteral("读不出来（记录已损坏），没有存入。");
    if (holdsChinese(problem.reason))
        return QStringLiteral("没有存入：%1").arg(problem.reason);
    return QStringLiteral("不符合数据表的规则，没有存入。");
}

bool holdsOurTables(const QString& folder)
{
    const DataFolderState state = examineDataFolder(folder);
    return QFileInfo(folder).isDir() && state.missingTables.isEmpty() && state.paradoxTables.isEmpty();
}

std::optional<QString> bringOverParadoxTables(const QString& folder, const DataFolderState& state,
                                              std::unique_ptr<QWidget>* reportWindow)
{
    const QString target = importedDataFolder(folder);
    // Brought over at an earlier start: the new tables are used from then on.
    if (holdsOurTables(target))
        return target;
    const QString question =
        QStringLiteral("数据文件夹“%1”中的%2是旧的Paradox数据表，本程序不能直接使用。\n\n"
                       "要把它们导入到新的数据文件夹“%3”中吗？旧的数据表不会被修改。\n"
                       "选“取消”则退出程序。")
            .arg(QDir::toNativeSeparators(folder), nativeNames(state.paradoxTables), QDir::toNativeSeparators(target));
    if (!platform::dialogs().question(nullptr, question, kit::noticeCaption()))
        return std::nullopt;
    try {
        const paradox::ImportSummary summary = paradox::importParadoxTables(folder, target);
        *reportWindow = makeReportWindow(importReportText(summary, target));
        (*reportWindow)->show();
        return target;
    } catch (const paradox::ImportError& error) {
        platform::dialogs().error(nullptr,
                                  QStringLiteral("旧的Paradox数据表没有导入：有的表缺少、已加密或已损坏。\n"
                                                 "新的数据文件夹中没有留下任何数据表，旧的数据表没有被修改。\n"
                                                 "请检查这些数据表，或请技术支持帮助导入。"),
                                  kit::noticeCaption(), platform::MessageIcon::Error, error.message());
        return std::nullopt;
    }
}

QString missingTablesText(const QStringList& fileNames)
{
    QStringList missing;
    for (const QString& name : fileNames)
        missing << QStringLiteral("%1（%2）").arg(kit::tableCaption(name), name);
    return missing.join(QStringLiteral("、"));
}

// The tables on a server: missing ones are created there with the clerk's
// consent. Old Paradox tables are never on a server.
std::optional<QString> readyServer(const QString& uri)
{
    QStringList missing;
    if (!platform::runGuarded([&] { missing = missingTables(uri); }))
        return std::nullopt;
    if (missing.isEmpty())
        return uri;
    const QString question = QStringLiteral("数据库服务器“%1”中缺少数据表：%2。\n\n"
                                            "要在服务器上新建空的数据表吗？已有的数据表不会被改动。\n"
                                            "选“取消”则退出程序。")
                                 .arg(shownPlace(uri), missingTablesText(missing));
    if (!platform::dialogs().question(nullptr, question, kit::noticeCaption()))
        return std::nullopt;
    if (!platform::runGuarded([&] { createTables(uri, missing); }))
        return std::nullopt;
    return uri;
}

}  // namespace

DataFolderState examineDataFolder(const QString& folder)
{
    DataFolderState state;
    const QDir dir(folder);
    for (const data::TableDef* table : data::allTables()) {
        const QString path = findFile(dir, table->fileName);
        if (path.isEmpty())
            state.missingTables << table->fileName;
        else if (paradox::looksLikeParadoxTable(path))
            state.paradoxTables << path;
    }
    return state;
}

QString importedDataFolder(const QString& paradoxFolder)
{
    return QDir(paradoxFolder).filePath(QStringLiteral("Tavrel数据"));
}

QString importReportText(const paradox::ImportSummary& summary, const QString& dataFolder)
{
    QStringList lines{QStringLiteral("旧的Paradox数据表已导入新的数据文件夹“%1”。").arg(QDir::toNativeSeparators(dataFolder)),
                      QString()};
    for (const paradox::TableSummary& table : summary.tables) {
        QString line = QStringLiteral("%1（%2）：读出%3条，存入%4条，拒收%5条")
                           .arg(kit::tableCaption(table.fileName), table.fileName)
                           .arg(table.read)
                           .arg(table.stored)
                           .arg(table.refused);
        if (table.unreadable > 0)
            line += QStringLiteral("，读不出%1条").arg(table.unreadable);
        lines << line + QStringLiteral("。");
        for (const QString& field : table.missingFields)
            lines << QStringLiteral("    旧表没有字段“%1”，这一项留空。").arg(field);
        for (const paradox::RecordProblem& problem : table.problems)
            lines << QStringLiteral("    第%1条%2").arg(problem.recordNo).arg(problemText(problem));
    }
    lines << QString();
    lines << (summary.everythingStored()
                  ? QStringLiteral("所有记录都已存入。")
                  : QStringLiteral("上面列出的记录没有存入，请在相应的窗口中补录。旧的数据表没有被修改。"));
    return lines.join(QLatin1Char('\n'));
}

std::unique_ptr<QWidget> makeReportWindow(const QString& text)
{
    auto window = std::make_unique<QWidget>();
    window->setObjectName(QStringLiteral("ImportReport"));
    window->setWindowTitle(QStringLiteral("Paradox数据表导入报告"));
    window->resize(640, 420);
    auto* layout = new QVBoxLayout(window.get());
    auto* report = new QPlainTextEdit(window.get());
    report->setObjectName(QStringLiteral("Memo1"));
    report->setAccessibleName(QStringLiteral("导入报告"));
    report->setReadOnly(true);
    report->setPlainText(text);
    layout->addWidget(report);
    return window;
}

std::optional<QString> readyDataFolder(const QString& folder, std::unique_ptr<QWidget>* reportWindow)
{
    if (passwordInPlace(folder)) {
        platform::dialogs().error(nullptr, passwordInPlaceText(), QStringLiteral("Tavrel"));
        return std::nullopt;
    }
    if (data::isServerLocation(folder))
        return readyServer(folder);
    const DataFolderState state = examineDataFolder(folder);
    if (!state.paradoxTables.isEmpty())
        return bringOverParadoxTables(folder, state, reportWindow);
    if (state.missingTables.isEmpty())
        return folder;
    const QString question = QStringLiteral("数据文件夹“%1”中缺少数据表：%2。\n\n"
                                            "要新建空的数据表吗？已有的数据表不会被改动。\n"
                                            "选“取消”则退出程序。")
                                 .arg(QDir::toNativeSeparators(folder), missingTablesText(state.missingTables));
    if (!platform::dialogs().question(nullptr, question, kit::noticeCaption()))
        return std::nullopt;
    const bool created = platform::runGuarded([&] {
        std::vector<const data::TableDef*> tables;
        for (const data::TableDef* table : data::allTables())
            if (state.missingTables.contains(table->fileName))
                tables.push_back(table);
        data::createTables(folder, tables);
    });
    if (!created)
        return std::nullopt;
    return folder;
}

}  // namespace app
