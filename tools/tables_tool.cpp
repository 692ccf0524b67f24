// tavrel-tables: creates the three tables of Tavrel in a folder or on a
// PostgreSQL server, empty or filled with a small demo set, brings a
// factory's Paradox tables over, or copies the tables from one place to
// another.
//
//   tavrel-tables create PLACE
//   tavrel-tables demo PLACE
//   tavrel-tables import-paradox [--encoding NAME] PARADOX_DIR PLACE
//   tavrel-tables copy SOURCE TARGET
//   tavrel-tables undo-list PLACE
//   tavrel-tables undo PLACE [N]
//   tavrel-tables check PLACE
//   tavrel-tables backup PLACE [DEST]
//   tavrel-tables restore BACKUP PLACE
//   tavrel-tables server-setup URI, add-desk URI NAME --role GROUP, remove-desk URI NAME
//
// A PLACE is a folder or a server's URI ("postgresql://user@host/database");
// the password comes from ~/.pgpass or the service file, never from here.

#include "demo_tables.h"
#include "data/engine/engine.h"
#include "data/core/errors.h"
#include "data/core/schema.h"
#include "data/engine/open_store.h"
#include "paradox/paradox_import.h"
#include "server_roles.h"
#include "table_copy.h"
#include "table_places.h"
#include "undo_commands.h"
#include "backup_commands.h"
#include "window_kit/fault_texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

int usage() {
    QTextStream(stderr) << QStringLiteral(
        "用法：tavrel-tables create 位置                        建立三个空的数据表\n"
        "      tavrel-tables demo 位置                          建立带示例数据的数据表\n"
        "      tavrel-tables import-paradox [--encoding 编码] PARADOX文件夹 位置   导入旧的Paradox数据表\n"
        "      tavrel-tables copy 来源 目标                     复制数据表\n"
        "      tavrel-tables undo-list 位置                     列出可撤销的命令\n"
        "      tavrel-tables undo 位置 [N]                      撤销最后N条命令\n"
        "      tavrel-tables check 位置                         检查数据表\n"
        "      tavrel-tables backup 位置 [备份文件夹]           备份数据表\n"
        "      tavrel-tables restore 备份 位置                  恢复备份\n"
        "      tavrel-tables server-setup 服务器地址            在服务器上建立数据表的所有者、三个账号组和数据表\n"
        "      tavrel-tables add-desk 服务器地址 名称 --role 型号|订单|只读   为一台电脑建立账号\n"
        "      tavrel-tables remove-desk 服务器地址 名称        删除一台电脑的账号\n"
        "位置是一个文件夹，或PostgreSQL服务器的地址（postgresql://用户@主机/数据库）。\n");
    return 2;
}

bool holdsChinese(const QString& text) {
    for (const QChar ch : text)
        if (ch.unicode() >= 0x3400 && ch.unicode() <= 0x9fff)
            return true;
    return false;
}

// A fault of the tables in Chinese: the tool's own words as they are, any
// other told by its kind, with the engine's words for support after it.
void printFault(const data::EngineError& e) {
    QTextStream err(stderr);
    if (holdsChinese(e.message())) {
        err << "tavrel-tables: " << e.message() << "\n";
        return;
    }
    err << "tavrel-tables: " << kit::faultReport(e).text << "\n" << QStringLiteral("（详细信息：%1）").arg(e.message()) << "\n";
}

int createTables(const QString& command, const QString& place) {
    QTextStream out(stdout);
    try {
        // Tables already there are never written over.
        if (missingTables(place).size() < int(data::allTables().size())) {
            QTextStream(stderr) << "tavrel-tables: "
                                << QStringLiteral("“%1”中已有数据表，没有建立任何数据表，已有的数据表没有改动。").arg(shownPlace(place))
                                << "\n";
            return 1;
        }
        if (command == QLatin1String("demo"))
            fillDemoTables(place);
        else
            createAllTables(place);
        out << QStringLiteral("已在%1建立数据表shoes.db、dd.db和xdtj.db。").arg(shownPlace(place)) << "\n";
    } catch (const data::EngineError& e) {
        printFault(e);
        return 1;
    }
    return 0;
}

void printSummary(const paradox::ImportSummary& summary, QTextStream& out) {
    for (const paradox::TableSummary& t : summary.tables) {
        for (const QString& field : t.missingFields)
            out << QStringLiteral("%1：旧表没有字段“%2”，这一项留空。").arg(t.fileName, field) << "\n";
        for (const paradox::RecordProblem& p : t.problems) {
            if (p.unreadable)
                out << QStringLiteral("%1：第%2条记录读不出来（记录已损坏），没有存入。（详细信息：%3）").arg(t.fileName).arg(p.recordNo).arg(p.reason);
            else if (holdsChinese(p.reason))
                out << QStringLiteral("%1：第%2条记录拒收：%3").arg(t.fileName).arg(p.recordNo).arg(p.reason);
            else
                out << QStringLiteral("%1：第%2条记录不符合数据表的规则，拒收。（详细信息：%3）").arg(t.fileName).arg(p.recordNo).arg(p.reason);
            out << "\n";
        }
    }
    for (const paradox::TableSummary& t : summary.tables) {
        out << QStringLiteral("%1：读出%2条，存入%3条，拒收%4条").arg(t.fileName).arg(t.read).arg(t.stored).arg(t.refused);
        if (t.unreadable > 0)
            out << QStringLiteral("，读不出%1条").arg(t.unreadable);
        out << "\n";
    }
}

void printImportError(const paradox::ImportError& e) {
    QTextStream(stderr) << QStringLiteral("旧的Paradox数据表没有导入：有的表缺少、已加密、已损坏，或目标中已有数据表；"
                                          "没有留下新的数据表，旧的数据表没有被修改。")
                        << "\n"
                        << QStringLiteral("（详细信息：%1）").arg(e.message()) << "\n";
}

int importParadox(QStringList args) {
    paradox::ImportOptions options;
    const int at = int(args.indexOf(QStringLiteral("--encoding")));
    if (at >= 0) {
        if (at + 1 >= args.size())
            return usage();
        options.encoding = args[at + 1];
        args.remove(at, 2);
    }
    if (args.size() != 2)
        return usage();
    QTextStream out(stdout);
    try {
        if (!data::isServerLocation(args[1])) {
            const paradox::ImportSummary summary = paradox::importParadoxTables(args[0], args[1], options);
            printSummary(summary, out);
            return summary.everythingStored() ? 0 : 1;
        }
        // Onto a server by way of a folder of its own, which the copy then
        // takes over as a whole or not at all.
        const QTemporaryDir work;
        const QString folder = QDir(work.path()).filePath(QStringLiteral("tables"));
        const paradox::ImportSummary summary = paradox::importParadoxTables(args[0], folder, options);
        copyTables(folder, args[1]);
        printSummary(summary, out);
        return summary.everythingStored() ? 0 : 1;
    } catch (const paradox::ImportError& e) {
        printImportError(e);
        return 1;
    } catch (const data::EngineError& e) {
        printFault(e);
        return 1;
    }
}

int copy(const QString& source, const QString& target) {
    QTextStream out(stdout);
    try {
        for (const QString& line : copySummary(copyTables(source, target)))
            out << line << "\n";
        out << QStringLiteral("已从%1复制到%2。").arg(shownPlace(source), shownPlace(target)) << "\n";
        return 0;
    } catch (const data::EngineError& e) {
        printFault(e);
        return 1;
    }
}

// undo-list DIR, undo DIR [N]; the question about rows changed since a
// command is answered on standard input.
int undo(const QStringList& args) {
    QTextStream out(stdout), err(stderr);
    if (args[0] == QLatin1String("undo-list"))
        return args.size() == 2 ? listUndoRecords(args[1], out, err) : usage();
    bool ok = true;
    const int count = args.size() == 3 ? args[2].toInt(&ok) : 1;
    if (args.size() < 2 || args.size() > 3 || !ok || count < 1)
        return usage();
    return undoLastCommands(args[1], count, out, err, [&out](const QString& question) {
        out << question << QStringLiteral("（y/N）") << Qt::flush;
        QTextStream in(stdin);
        const QString answer = in.readLine().trimmed();
        return answer.compare(QLatin1String("y"), Qt::CaseInsensitive) == 0;
    });
}

// Opens the three tables, which brings tables of an earlier release to the
// current keys, and lists the records that keep a table from its key.
int checkTables(const QString& dir) {
    QTextStream out(stdout);
    data::Engine engine(dir);
    try {
        for (const data::TableDef* table : data::allTables())
            engine.table(table->fileName);
    } catch (const data::EngineError& e) {
        QTextStream(stderr) << "tavrel-tables: " << kit::faultReport(e).text << "\n"
                            << QStringLiteral("（详细信息：%1）").arg(e.message()) << "\n";
        return 1;
    }
    if (!engine.keyClashes().empty()) {
        out << kit::keyClashText(engine.keyClashes()) << "\n";
        return 1;
    }
    out << QStringLiteral("%1中的数据表都已是最新的。").arg(shownPlace(dir)) << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    for (const QString& arg : args.mid(1))
        if (passwordInPlace(arg)) {
            QTextStream(stderr) << passwordInPlaceText() << "\n";
            return 1;
        }
    if (args.size() >= 2 && isServerRolesCommand(args[1])) {
        QTextStream out(stdout), err(stderr);
        return runServerRolesCommand(args.mid(1), out, err);
    }
    if (args.size() >= 2 && args[1] == QLatin1String("import-paradox"))
        return importParadox(args.mid(2));
    if (args.size() >= 2 && (args[1] == QLatin1String("undo-list") || args[1] == QLatin1String("undo")))
        return undo(args.mid(1));
    if (args.size() == 4 && args[1] == QLatin1String("copy"))
        return copy(args[2], args[3]);
    if (args.size() == 3 && args[1] == QLatin1String("check"))
        return checkTables(args[2]);
    if ((args.size() == 3 || args.size() == 4) && args[1] == QLatin1String("backup")) {
        QTextStream out(stdout), err(stderr);
        return backupTables(args.mid(2), out, err);
    }
    if (args.size() == 4 && args[1] == QLatin1String("restore")) {
        QTextStream out(stdout), err(stderr);
        return restoreTables(args.mid(2), out, err);
    }
    if (args.size() != 3 || (args[1] != QLatin1String("create") && args[1] != QLatin1String("demo")))
        return usage();
    return createTables(args[1], args[2]);
}
