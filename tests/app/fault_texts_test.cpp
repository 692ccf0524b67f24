// What the clerk is told about each kind of fault, and that the English
// detail goes behind the disclosure for support.
#include "data/core/errors.h"
#include "data/core/store.h"
#include "platform/files.h"
#include "spreadsheet/error.h"
#include "window_kit/fault_texts.h"

#include <QDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

namespace {

using Op = spreadsheet::Error::Operation;

struct FaultCase {
    const char* name;
    std::function<void()> fail;
    QString firstLine;  // what happened, exactly
    QString saved;      // a fragment of what was not saved
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

const QString NotSaved = QStringLiteral("这次的修改没有保存");

const FaultCase faultCases[] = {
    {"busy", [] { throw data::EngineError("database is locked", 5); },
     QStringLiteral("数据表正被另一个程序使用（已锁定），暂时不能写入。"), NotSaved},
    {"locked", [] { throw data::EngineError("database table is locked", 6); },
     QStringLiteral("数据表正被另一个程序使用（已锁定），暂时不能写入。"), NotSaved},
    {"read-only (extended code)", [] { throw data::EngineError("attempt to write a readonly database", 8 | (5 << 8)); },
     QStringLiteral("数据表是只读的，不能写入。"), NotSaved},
    {"disk full", [] { throw data::EngineError("database or disk is full", 13); },
     QStringLiteral("磁盘已满，数据表不能再写入。"), NotSaved},
    {"I/O error", [] { throw data::EngineError("disk I/O error", 10 | (3 << 8)); },
     QStringLiteral("读写数据表时磁盘出错。"), NotSaved},
    {"cannot open", [] { throw data::EngineError("unable to open database file", 14); },
     QStringLiteral("数据表文件打不开。"), QStringLiteral("没有读写任何数据")},
    {"not a database", [] { throw data::EngineError("file is not a database", 26); },
     QStringLiteral("这个文件不是本程序的数据表。"), QStringLiteral("没有读写任何数据")},
    {"corrupt", [] { throw data::EngineError("database disk image is malformed", 11); },
     QStringLiteral("数据表文件已损坏。"), NotSaved},
    {"key violation", [] { throw data::EngineError({{0x2601, "Key violation."}, {2067, "UNIQUE constraint failed"}}); },
     QStringLiteral("这条记录与已有的记录重复。"), QStringLiteral("这条记录没有保存")},
    {"other engine error", [] { throw data::EngineError("Dataset not in edit or insert mode."); },
     QStringLiteral("数据表操作失败。"), NotSaved},
    {"missing table", [] { throw data::EngineError::missingTable("dd.db", "/data"); },
     QStringLiteral("数据文件夹“%1”中没有数据表“dd.db”。").arg(QDir::toNativeSeparators("/data")),
     QStringLiteral("没有读写任何数据")},
    {"missing table on a server", [] { throw data::EngineError::missingTable("dd.db", "postgresql://db.factory:5432/shoes"); },
     QStringLiteral("数据库服务器“db.factory:5432/shoes”上没有数据表“dd.db”。"), QStringLiteral("没有读写任何数据")},
    {"foreign table", [] { throw data::EngineError::foreignTable("/data/XDTJ.DB", 26); },
     QStringLiteral("文件“%1”不是本程序的数据表（可能是旧的Paradox表或别的程序的文件）。")
         .arg(QDir::toNativeSeparators("/data/XDTJ.DB")),
     QStringLiteral("这个文件没有被修改")},
    {"wrong layout", [] { throw data::EngineError::wrongLayout("dd.db", "批号"); },
     QStringLiteral("数据表“dd.db”的结构不对：缺少字段“批号”。"), QStringLiteral("没有被修改")},
    {"size not a whole number", [] { throw data::EngineError::notWholeNumber("38", "2.5"); },
     QStringLiteral("尺码38只能输入整数，不能是“2.5”"), QStringLiteral("这个值没有保存")},
    {"cases not a whole number", [] { throw data::EngineError::notWholeNumber("件数", "a"); },
     QStringLiteral("件数只能输入整数，不能是“a”"), QStringLiteral("这个值没有保存")},
    {"server unreachable",
     [] { throw data::EngineError::serverUnreachable("db.factory:5432/tavrel", "connection refused"); },
     QStringLiteral("无法连接数据库服务器 db.factory:5432/tavrel，请检查网络或服务器是否已开启。"),
     QStringLiteral("服务器上已保存的数据不受影响")},
    {"server busy", [] { throw data::EngineError::serverBusy("二号桌", "鞋底统计"); },
     QStringLiteral("另一台电脑（二号桌）正在进行鞋底统计，请等它完成后再试。"), QStringLiteral("数据没有改变")},
    {"server key violation", [] { throw data::EngineError::serverError("23505", "duplicate key value violates unique constraint \"dd_key\""); },
     QStringLiteral("这条记录与已有的记录重复。"), QStringLiteral("这条记录没有保存")},
    {"server deadlock", [] { throw data::EngineError::serverError("40P01", "deadlock detected"); },
     QStringLiteral("这次修改与另一台电脑同时进行的修改冲突了。"), NotSaved},
    {"server serialization", [] { throw data::EngineError::serverError("40001", "could not serialize access"); },
     QStringLiteral("这次修改与另一台电脑同时进行的修改冲突了。"), NotSaved},
    {"server lock wait, the holder known",
     [] { throw data::EngineError::lockWaitTimedOut("前台", 10000, "canceling statement due to lock timeout"); },
     QStringLiteral("另一台电脑（前台）正在修改这些记录，等了10秒仍未完成。"), NotSaved},
    {"server lock wait, a part of a second",
     [] { throw data::EngineError::lockWaitTimedOut("二号桌", 250, "canceling statement due to lock timeout"); },
     QStringLiteral("另一台电脑（二号桌）正在修改这些记录，等了0.25秒仍未完成。"), NotSaved},
    {"server lock wait, neither holder nor wait known",
     [] { throw data::EngineError::lockWaitTimedOut("", -1, "could not obtain lock on row in relation \"dd\""); },
     QStringLiteral("另一台电脑正在修改这些记录，等了很久仍未完成。"), NotSaved},
    {"server statement timeout", [] { throw data::EngineError::serverError("57014", "canceling statement due to statement timeout"); },
     QStringLiteral("这次操作在数据库服务器上运行的时间太长，已被服务器停止。"), NotSaved},
    {"server ended an idle transaction",
     [] {
         throw data::EngineError::serverUnreachable("db.factory:5432/tavrel",
                                                    "terminating connection due to idle-in-transaction timeout", "25P03");
     },
     QStringLiteral("这台电脑的一次修改停在半途太久，数据库服务器结束了它的连接，好让其他电脑继续工作。"), NotSaved},
    {"server disk full", [] { throw data::EngineError::serverError("53100", "could not extend file"); },
     QStringLiteral("数据库服务器的磁盘已满或资源不足。"), NotSaved},
    {"server permission", [] { throw data::EngineError::serverError("42501", "permission denied for table dd"); },
     QStringLiteral("这台电脑没有使用数据库服务器上这些数据表的权限。"), NotSaved},
    {"server read-only", [] { throw data::EngineError::serverError("25006", "cannot execute UPDATE in a read-only transaction"); },
     QStringLiteral("数据库服务器现在只允许读取，不能写入。"), NotSaved},
    {"server, other state", [] { throw data::EngineError::serverError("22P02", "invalid input syntax for type bigint"); },
     QStringLiteral("数据库服务器拒绝了这次操作（错误代码 22P02）。"), NotSaved},
    {"changed at another desk",
     [] {
         throw data::EngineError(data::ErrorKind::ChangedElsewhere, "dd.db", "前台", "The record was changed elsewhere.");
     },
     QStringLiteral("订单表中的这条记录已被另一台电脑（前台）修改或删除。"), NotSaved},
    {"a server address libpq cannot read",
     [] {
         throw data::EngineError::serverUnreachable("", "The server address could not be read.", "08001");
     },
     QStringLiteral("数据位置中的数据库服务器地址写得不对，程序读不懂（例如地址中有不完整的%写法）。"),
     QStringLiteral("没有读写任何数据")},
    {"changed at a desk not known",
     [] { throw data::EngineError(data::ErrorKind::ChangedElsewhere, "shoes.db", "", "The record was changed elsewhere."); },
     QStringLiteral("鞋底型号表中的这条记录已被另一台电脑修改或删除。"), NotSaved},
    {"a bulk command stopped at a conflict",
     [] {
         throw data::EngineError(data::ErrorKind::StoppedInConflict, "dd.db", "前台", "The command was stopped.");
     },
     QStringLiteral("你在这里停止了这次操作：订单表中的记录已被另一台电脑（前台）修改过。"),
     QStringLiteral("停止之前的修改已经保存。")},
    {"undo found rows changed after its question", [] { throw data::EngineError::changedSinceAsked(2); },
     QStringLiteral("撤销时发现另一台电脑刚修改了要恢复的记录，现在有2条记录在命令之后被修改过。"),
     QStringLiteral("没有撤销任何记录")},
    {"table log taken away",
     [] { throw data::EngineError(data::ErrorKind::LogTakenAway, "/data/dd.db", "", "The table's log was removed."); },
     QStringLiteral("数据表“/data/dd.db”在程序使用时被另一个程序打开又关闭了，最近的修改可能没有写进数据表。"),
     QStringLiteral("程序已重新打开这个数据表")},
    {"office connect", [] { throw spreadsheet::Error("LibreOffice could not be started", Op::Connect); },
     QStringLiteral("电子表格程序启动不了，或者连接不上。"), QStringLiteral("没有导入或导出任何数据")},
    {"office open", [] { throw spreadsheet::Error("Opening a workbook from x.xls failed", Op::Open); },
     QStringLiteral("电子表格程序打不开这个工作簿。"), QStringLiteral("没有读入或写出任何数据")},
    {"office read", [] { throw spreadsheet::Error("Reading cells failed", Op::Read); },
     QStringLiteral("从工作簿读取数据时出错。"), QStringLiteral("出错之后的数据没有读入")},
    {"office write", [] { throw spreadsheet::Error("Writing cells failed", Op::Write); },
     QStringLiteral("向工作簿写入数据时出错。"), QStringLiteral("工作簿中的数据不完整")},
    {"office save", [] { throw spreadsheet::Error("Storing failed", Op::Save); },
     QStringLiteral("工作簿保存不了。"), QStringLiteral("工作簿没有保存")},
    {"office gone", [] { throw spreadsheet::Error("The workbook is no longer open", Op::Gone); },
     QStringLiteral("电子表格程序或工作簿已经关闭，操作没有做完。"), QStringLiteral("已保存的数据不受影响")},
    {"office other", [] { throw spreadsheet::Error("The workbook has no sheet named \"0\""); },
     QStringLiteral("电子表格程序出错，操作没有做完。"), QStringLiteral("已保存的数据不受影响")},
    {"file missing", [] { throw platform::FileError("x: No such file", "/p/CTMLIST.TXT", platform::FileError::Action::Read, ENOENT); },
     QStringLiteral("找不到文件“%1”。").arg(QDir::toNativeSeparators("/p/CTMLIST.TXT")), QStringLiteral("文件没有读入")},
    {"file forbidden", [] { throw platform::FileError("x: Permission denied", "/p/a", platform::FileError::Action::Write, EACCES); },
     QStringLiteral("没有读写文件“%1”的权限。").arg(QDir::toNativeSeparators("/p/a")), QStringLiteral("文件没有写好")},
    {"file on a read-only disk", [] { throw platform::FileError("x", "/p/a", platform::FileError::Action::Create, EROFS); },
     QStringLiteral("文件“%1”在只读的磁盘上，不能写入。").arg(QDir::toNativeSeparators("/p/a")), QStringLiteral("文件没有写好")},
    {"file disk full", [] { throw platform::FileError("x", "/p/a", platform::FileError::Action::Write, ENOSPC); },
     QStringLiteral("磁盘已满，文件“%1”写不进去。").arg(QDir::toNativeSeparators("/p/a")), QStringLiteral("文件没有写好")},
    {"file, reason unknown", [] { throw platform::FileError("x", "/p/a", platform::FileError::Action::Read, 0); },
     QStringLiteral("读写文件“%1”时出错。").arg(QDir::toNativeSeparators("/p/a")), QStringLiteral("文件没有读入")},
    {"English from elsewhere", [] { throw std::runtime_error("vector::_M_range_check"); },
     QStringLiteral("程序出错，操作没有做完。"), QStringLiteral("之前保存的数据不受影响")},
};

class FaultTexts : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTexts, SayWhatHappenedWhatWasNotSavedAndWhatToDo) {
    const FaultCase& c = GetParam();
    try {
        c.fail();
        FAIL() << "nothing thrown";
    } catch (const std::exception& error) {
        const platform::ErrorReport report = kit::faultReport(error);
        const QStringList lines = report.text.split(QLatin1Char('\n'));
        ASSERT_GE(lines.size(), 2) << report.text.toStdString();
        EXPECT_EQ(lines.front(), c.firstLine);
        EXPECT_TRUE(lines[1].contains(c.saved)) << lines[1].toStdString();
        // The error's own English text is kept for support, and only there.
        EXPECT_EQ(report.details, QString::fromUtf8(error.what()));
        EXPECT_FALSE(report.text.contains(report.details)) << report.text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(EachKind, FaultTexts, ::testing::ValuesIn(faultCases));

TEST(FaultTextsOwn, ChineseTextsOfTheProgramPassAsTheyAre) {
    const std::runtime_error error("文件不存在");
    const platform::ErrorReport report = kit::faultReport(error);
    EXPECT_EQ(report.text, QStringLiteral("文件不存在"));
    EXPECT_TRUE(report.details.isEmpty());
}

// Writes a loop had shown as stored and that never reached the store are
// counted and named after what the fault itself says.
TEST(FaultTextsOwn, WritesNotStoredAreCountedAndNamedByBatch) {
    QStringList many;
    for (int i = 1; i <= 25; ++i)
        many << QStringLiteral("P%1").arg(i);
    const struct {
        int records;
        QStringList names;
        QString said;  // empty: nothing added
    } cases[] = {
        {0, {}, QString()},
        {3, {"B3", "B4", "B5"}, QStringLiteral("其中3条记录的修改已在窗口中显示，却没有存入数据库（批号：B3、B4、B5）。")},
        {2, {}, QStringLiteral("其中2条记录的修改已在窗口中显示，却没有存入数据库。")},
        {25, many, QStringLiteral("（批号：P1、P2、") },
    };
    for (const auto& c : cases) {
        data::EngineError error = data::EngineError::serverUnreachable(QStringLiteral("db:5432"), QStringLiteral("gone"));
        const QString alone = kit::faultReport(error).text;
        error.addNotStored(c.records, c.names);
        const QString text = kit::faultReport(error).text;
        EXPECT_TRUE(text.startsWith(alone)) << text.toStdString();
        if (c.said.isEmpty()) {
            EXPECT_EQ(text, alone);
            continue;
        }
        EXPECT_TRUE(text.contains(c.said)) << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral("请重新打开窗口核对这些记录，再做一次这些修改。"))) << text.toStdString();
        EXPECT_EQ(text.contains(QStringLiteral("P20")), c.records == 25);
        EXPECT_FALSE(text.contains(QStringLiteral("P21")));
        EXPECT_EQ(text.contains(QStringLiteral(" 等")), c.records == 25);
    }
}

// A lost connection whose held-back writes went again once the program had
// reconnected says so, and names what still did not go; another fault met
// while sending them again says what did go.
TEST(FaultTextsOwn, WritesStoredAfterReconnectingAreCounted) {
    const data::EngineError lost = data::EngineError::serverUnreachable(QStringLiteral("db:5432"), QStringLiteral("gone"));
    const struct {
        data::EngineError error;
        int stored;
        int notStored;
        QStringList said;
        QStringList unsaid;
    } cases[] = {
        {lost, 3, 0, {"重新连接上", "有3条是重新连接后才存入数据库的，断开前的修改都已保存"}, {"无法连接"}},
        {lost, 1, 2, {"有1条是重新连接后才存入数据库的。", "其中2条记录的修改已在窗口中显示，却没有存入数据库"}, {"都已保存"}},
        {data::EngineError::serverError(QStringLiteral("P0001"), QStringLiteral("refused")), 1, 2,
         {"重新连接后，断开前保留的1条记录的修改已存入数据库", "其中2条记录"}, {"重新连接上"}},
    };
    for (const auto& c : cases) {
        data::EngineError error = c.error;
        error.addStoredAfterReconnecting(c.stored);
        error.addNotStored(c.notStored, {});
        const QString text = kit::faultReport(error).text;
        for (const QString& part : c.said)
            EXPECT_TRUE(text.contains(part)) << text.toStdString();
        for (const QString& part : c.unsaid)
            EXPECT_FALSE(text.contains(part)) << text.toStdString();
    }
}

TEST(FaultTextsOwn, KeyClashesNameTheTableTheKeyAndTheRecords) {
    const std::vector<data::KeyClash> clashes = {
        {"dd.db", {"批号"}, {""}, {2, 4}},
        {"SHOES.DB", {"鞋的型号", "颜色"}, {"8012", ""}, {7, 9, 12}},
    };
    const QStringList lines = kit::keyClashText(clashes).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[1], QStringLiteral("订单表（dd.db）：批号为空的记录，第2、4条"));
    EXPECT_EQ(lines[2], QStringLiteral("鞋底型号表（SHOES.DB）：鞋的型号为“8012”、颜色为空的记录，第7、9、12条"));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("没有删除任何记录。")));
}

}  // namespace
