#include "data/table_fixture.h"
#include "fake_worksheet.h"
#include "orders/order_import.h"
#include "orders/order_posting.h"
#include "qt_printing.h"
#include "recording_sink.h"

#include <gtest/gtest.h>

namespace {

QStringList gridColumns() {
    QStringList columns{QStringLiteral("批号"), QStringLiteral("鞋的型号"), QStringLiteral("颜色"), QStringLiteral("件数"),
                        QStringLiteral("双数")};
    for (int s = 33; s <= 48; ++s)
        columns << QString::number(s);
    return columns << QStringLiteral("备注");
}

// A sheet row: batch, model, colour, cases, pairs, then sizes from 33 and a remark.
QStringList orderRow(const QString& batch, const QString& colour = QStringLiteral("黑"), const QString& pairs = QString(),
                     const QMap<int, QString>& sizes = {}, const QString& remark = QString()) {
    QStringList row{batch, QStringLiteral("A1001"), colour, QStringLiteral("2"), pairs};
    for (int s = 33; s <= 48; ++s)
        row << sizes.value(s);
    return row << remark;
}

class OrderImport : public ::testing::Test {
protected:
    void SetUp() override { reset(); }

    // A fresh folder of tables, an empty sheet and no messages yet.
    void reset() {
        query.reset();
        tables = std::make_unique<TableFolder>();
        sheet = FakeWorksheet();
        status = RecordingSink();
        duplicateMessages = failureMessages = 0;
        query = tables->openQuery(QStringLiteral("select * from dd.db"));
        orders::installOrderPostingRule(*query, [this] { ++duplicateMessages; });
        sheet.setRow(1, gridColumns());  // heading row, never read as data
    }

    orders::ImportOutcome run() {
        return orders::importWorksheet(sheet, *query, gridColumns(), status, [this] { ++failureMessages; });
    }

    QStringList stored(const QString& field) {
        return TableFolder::column(*tables->openQuery(QStringLiteral("select * from dd.db")), field);
    }

    std::unique_ptr<TableFolder> tables;
    std::unique_ptr<data::Query> query;
    FakeWorksheet sheet;
    RecordingSink status;
    int duplicateMessages = 0;
    int failureMessages = 0;
};

TEST_F(OrderImport, ReadsRowsUntilTheFirstEmptyBatchCell) {
    struct Case {
        int rows;
        const char* lastText;
    };
    const Case cases[] = {
        {3, "在第一列第4行检测到空值，数据导入已结束！"},
        {0, "在第一列第1行检测到空值，数据导入已结束！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        reset();
        for (int i = 0; i < c.rows; ++i)
            sheet.setRow(i + 2, orderRow(QStringLiteral("B%1").arg(i)));
        const orders::ImportOutcome outcome = run();
        EXPECT_EQ(outcome.end, orders::ImportOutcome::End::EmptyCell);
        EXPECT_EQ(outcome.rowsImported, c.rows);
        EXPECT_EQ(stored(QStringLiteral("批号")).size(), c.rows);
        EXPECT_EQ(status.panelText(kit::ProgressPanel), QString::fromUtf8(c.lastText));
        EXPECT_EQ(status.eventTurns, c.rows + 1);
        EXPECT_EQ(failureMessages, 0);
        EXPECT_FALSE(query->isBusy());
    }
}

TEST_F(OrderImport, EveryRowPassesThePostingRule) {
    sheet.setRow(2, orderRow(QStringLiteral("C1"), QStringLiteral("zy"), QStringLiteral("999"),
                             {{36, QStringLiteral("12")}, {37, QStringLiteral("24")}}, QStringLiteral("加急")));
    sheet.setRow(3, orderRow(QStringLiteral("C2"), QStringLiteral("BL")));
    run();
    EXPECT_EQ(stored(QStringLiteral("颜色")), (QStringList{QStringLiteral("棕油"), QStringLiteral("BLACK")}));
    EXPECT_EQ(stored(QStringLiteral("双数")), (QStringList{QStringLiteral("36"), QStringLiteral("0")}));  // the sum, not 999
    EXPECT_EQ(stored(QStringLiteral("33")), (QStringList{QStringLiteral("0"), QStringLiteral("0")}));     // empty sizes are 0
    EXPECT_EQ(stored(QStringLiteral("备注")).first(), QStringLiteral("加急"));
    EXPECT_EQ(stored(QStringLiteral("单号")), (QStringList{QString(), QString()}));  // not set by the import
}

TEST_F(OrderImport, ADuplicateStopsAfterBothMessagesAndReadsNothingBelow) {
    sheet.setRow(2, orderRow(QStringLiteral("D1")));
    sheet.setRow(3, orderRow(QStringLiteral("D2")));
    run();
    ASSERT_EQ(stored(QStringLiteral("批号")).size(), 2);

    // The same file again: stops at its first row, adds nothing.
    sheet.setRow(4, orderRow(QStringLiteral("D3")));
    const orders::ImportOutcome again = run();
    EXPECT_EQ(again.end, orders::ImportOutcome::End::Failed);
    EXPECT_EQ(again.rowsImported, 0);
    EXPECT_EQ(duplicateMessages, 1);
    EXPECT_EQ(failureMessages, 1);
    EXPECT_EQ(stored(QStringLiteral("批号")), (QStringList{QStringLiteral("D1"), QStringLiteral("D2")}));
    EXPECT_EQ(query->state(), data::Query::State::Browse);  // the duplicate record is gone
}

TEST_F(OrderImport, ATextThatIsNoWholeNumberLeavesTheRecordOpen) {
    struct Case {
        const char* cell;
    };
    for (const Case& c : {Case{"2.5"}, Case{"十二"}}) {
        SCOPED_TRACE(c.cell);
        reset();
        sheet.setRow(2, orderRow(QStringLiteral("E1")));
        sheet.setRow(3, orderRow(QStringLiteral("E2"), QStringLiteral("h"), QString(), {{40, QString::fromUtf8(c.cell)}}));
        const orders::ImportOutcome outcome = run();
        EXPECT_EQ(outcome.end, orders::ImportOutcome::End::Failed);
        EXPECT_EQ(outcome.rowsImported, 1);
        EXPECT_EQ(failureMessages, 1);
        EXPECT_EQ(duplicateMessages, 0);
        EXPECT_EQ(query->state(), data::Query::State::Insert);
        EXPECT_EQ(query->field(QStringLiteral("批号")).asText(), QStringLiteral("E2"));
        EXPECT_EQ(stored(QStringLiteral("批号")), QStringList{QStringLiteral("E1")});
        query->cancel();
    }
}

TEST_F(OrderImport, ASheetThatCannotBeReadEndsWithTheFailureMessage) {
    sheet.setRow(2, orderRow(QStringLiteral("F1")));
    sheet.setRow(3, orderRow(QStringLiteral("F2")));
    sheet.failAtRow = 3;
    const orders::ImportOutcome outcome = run();
    EXPECT_EQ(outcome.end, orders::ImportOutcome::End::Failed);
    EXPECT_EQ(outcome.rowsImported, 1);
    EXPECT_EQ(failureMessages, 1);
}

TEST_F(OrderImport, TakesAtMost99999Rows) {
    sheet.generatedRows = 100001;
    const orders::ImportOutcome outcome = run();
    EXPECT_EQ(outcome.end, orders::ImportOutcome::End::TooManyRows);
    EXPECT_EQ(outcome.rowsImported, 99999);
    EXPECT_EQ(status.panelText(kit::ProgressPanel), QStringLiteral("行数大于十万行，数据导入已强行结束！"));
    EXPECT_EQ(query->recordCount(), 99999);
}

TEST(ImportTexts, AreTheSystemsOwn) {
    EXPECT_EQ(orders::fileMissingMessage(QStringLiteral("/a/b.xls")), QStringLiteral("文件/a/b.xls不存在"));
    EXPECT_EQ(orders::fileFoundText(QStringLiteral("/a/b.xls")), QStringLiteral("文件/a/b.xls已找到"));
    EXPECT_EQ(orders::importingRowText(12), QStringLiteral("正在导入第12行"));
    EXPECT_EQ(orders::emptyCellText(4), QStringLiteral("在第一列第4行检测到空值，数据导入已结束！"));
}

}  // namespace
