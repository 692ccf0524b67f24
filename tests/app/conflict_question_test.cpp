// What the clerk is asked when another desk got to a record first, and how
// the answer reaches the engine.
#include "data/core/schema.h"
#include "platform/scripted_dialogs.h"
#include "window_kit/conflict_question.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>

namespace {

using Values = std::map<QString, QVariant>;

// A record of the table as a row: the named values, the rest empty, the
// version after them.
data::Row rowOf(const data::TableDef& table, const Values& values, qint64 version = 1)
{
    data::Row row;
    for (const data::FieldDef& field : table.fields) {
        const auto it = values.find(field.name);
        row.push_back(it == values.end() ? QVariant() : it->second);
    }
    row.push_back(QVariant(version));
    return row;
}

data::Conflict conflictOn(const data::TableDef& table, const Values& mine, const std::optional<Values>& theirs,
                          const QString& desk, bool deleting)
{
    data::Conflict conflict;
    conflict.table = table.fileName;
    for (const data::FieldDef& field : table.fields)
        conflict.fields << field.name;
    conflict.id = 7;
    conflict.mine = rowOf(table, mine);
    if (theirs)
        conflict.theirs = rowOf(table, *theirs, 2);
    conflict.theirDesk = desk;
    conflict.deleting = deleting;
    return conflict;
}

// A conflict over the fields both desks changed, with the record as read.
data::Conflict contestedOn(const data::TableDef& table, const Values& read, const Values& mine,
                           const Values& theirs, const QStringList& contested, bool deleting, bool bulk)
{
    data::Conflict conflict = conflictOn(table, mine, theirs, QStringLiteral("前台"), deleting);
    conflict.asRead = rowOf(table, read);
    for (const QString& field : contested)
        conflict.contested.push_back(int(conflict.fields.indexOf(field)));
    conflict.bulk = bulk;
    return conflict;
}

Values everySize(int pairs)
{
    Values values{{QStringLiteral("批号"), QStringLiteral("B9")}};
    for (const QString& size : data::sizeFieldNames())
        values[size] = QVariant(qint64(pairs));
    return values;
}

struct QuestionCase {
    const char* name;
    data::Conflict conflict;
    QString expected;
};

void PrintTo(const QuestionCase& c, std::ostream* out) { *out << c.name; }

std::vector<QuestionCase> questionCases()
{
    const data::TableDef& orders = data::ordersTable();
    const data::TableDef& shoes = data::shoesTable();
    const data::TableDef& statistics = data::statisticsTable();
    const QString batch = QStringLiteral("批号");
    return {
        {"an order changed at a named desk",
         conflictOn(orders,
                    {{batch, QStringLiteral("B001")}, {QStringLiteral("件数"), qint64(5)},
                     {QStringLiteral("已统计"), false}},
                    Values{{batch, QStringLiteral("B001")},
                           {QStringLiteral("件数"), qint64(7)},
                           {QStringLiteral("备注"), QStringLiteral("加急")},
                           {QStringLiteral("已统计"), true}},
                    QStringLiteral("前台"), false),
         QStringLiteral("你正在修改的订单（批号：B001）已被另一台电脑（前台）修改过。\n"
                        "字段：你的值 → 对方的值\n"
                        "件数：5 → 7\n"
                        "备注：（空） → 加急\n"
                        "已统计：否 → 是\n"
                        "是：保留我的修改\n"
                        "否：采用对方的内容")},
        {"a sole model changed at a desk not known, a long remark cut short",
         conflictOn(shoes,
                    {{QStringLiteral("鞋的型号"), QStringLiteral("X-1")}, {QStringLiteral("颜色"), QStringLiteral("黑")},
                     {QStringLiteral("备注"), QStringLiteral("一二三四五六七八九十一二三四五六七八九十一二")}},
                    Values{{QStringLiteral("鞋的型号"), QStringLiteral("X-1")}, {QStringLiteral("颜色"), QStringLiteral("黑")},
                           {QStringLiteral("供应商"), QStringLiteral("华达")}},
                    QString(), false),
         QStringLiteral("你正在修改的鞋底型号表中的记录（鞋的型号：X-1，颜色：黑）已被另一台电脑修改过。\n"
                        "字段：你的值 → 对方的值\n"
                        "供应商：（空） → 华达\n"
                        "备注：一二三四五六七八九十一二三四五六七八九… → （空）\n"
                        "是：保留我的修改\n"
                        "否：采用对方的内容")},
        {"a statistics row deleted here after another desk changed it",
         conflictOn(statistics,
                    {{QStringLiteral("供应商"), QStringLiteral("华达")}, {QStringLiteral("鞋底型号"), QStringLiteral("D7")},
                     {QStringLiteral("38"), qint64(3)}},
                    Values{{QStringLiteral("供应商"), QStringLiteral("华达")},
                           {QStringLiteral("鞋底型号"), QStringLiteral("D7")},
                           {QStringLiteral("38"), qint64(10)}},
                    QStringLiteral("仓库"), true),
         QStringLiteral("你要删除的鞋底统计表中的记录（鞋底型号：D7，供应商：华达）已被另一台电脑（仓库）修改过。\n"
                        "字段：你的值 → 对方的值\n"
                        "尺码38：3 → 10\n"
                        "是：仍然删除\n"
                        "否：采用对方的内容")},
        {"an order deleted at another desk while edited here",
         conflictOn(orders, {{batch, QStringLiteral("B002")}, {QStringLiteral("件数"), qint64(1)}}, std::nullopt,
                    QString(), false),
         QStringLiteral("你正在修改的订单（批号：B002）已被另一台电脑删除。\n"
                        "保留你的修改，就把它作为一条新记录重新保存。\n"
                        "是：保留我的修改\n"
                        "否：采用对方的内容")},
        {"an order with more differing fields than lines",
         conflictOn(orders, everySize(1), everySize(2), QStringLiteral("前台"), false),
         QStringLiteral("你正在修改的订单（批号：B9）已被另一台电脑（前台）修改过。\n"
                        "字段：你的值 → 对方的值\n"
                        "尺码33：1 → 2\n尺码34：1 → 2\n尺码35：1 → 2\n尺码36：1 → 2\n"
                        "尺码37：1 → 2\n尺码38：1 → 2\n尺码39：1 → 2\n"
                        "……还有9个字段不同\n"
                        "是：保留我的修改\n"
                        "否：采用对方的内容")},
        {"an order stored alike at both desks",
         conflictOn(orders, {{batch, QStringLiteral("B3")}}, Values{{batch, QStringLiteral("B3")}}, QStringLiteral("前台"),
                    false),
         QStringLiteral("你正在修改的订单（批号：B3）已被另一台电脑（前台）修改过。\n"
                        "对方保存的内容与你的相同。\n"
                        "是：保留我的修改\n"
                        "否：采用对方的内容")},
        {"the fields both desks changed, the value read, theirs and mine; the rest unlisted",
         contestedOn(orders,
                     {{batch, QStringLiteral("B4")}, {QStringLiteral("件数"), qint64(2)}, {QStringLiteral("38"), qint64(2)}},
                     {{batch, QStringLiteral("B4")}, {QStringLiteral("件数"), qint64(6)}, {QStringLiteral("38"), qint64(6)}},
                     {{batch, QStringLiteral("B4")}, {QStringLiteral("件数"), qint64(4)}, {QStringLiteral("38"), qint64(2)},
                      {QStringLiteral("已统计"), true}},
                     {QStringLiteral("件数")}, false, false),
         QStringLiteral("你正在修改的订单（批号：B4）已被另一台电脑（前台）修改过。\n"
                        "字段：原来的值 → 对方的值 / 你的值\n"
                        "件数：2 → 4 / 6\n"
                        "是：保留我的修改\n"
                        "否：采用对方的内容")},
        {"a bulk command's question: the answer for every such record, or stop",
         contestedOn(orders, {{batch, QStringLiteral("B5")}, {QStringLiteral("备注"), QStringLiteral("甲")}},
                     {{batch, QStringLiteral("B5")}, {QStringLiteral("备注"), QStringLiteral("乙")}},
                     {{batch, QStringLiteral("B5")}, {QStringLiteral("备注"), QStringLiteral("丙")}},
                     {QStringLiteral("备注")}, false, true),
         QStringLiteral("你正在修改的订单（批号：B5）已被另一台电脑（前台）修改过。\n"
                        "字段：原来的值 → 对方的值 / 你的值\n"
                        "备注：甲 → 丙 / 乙\n"
                        "这次操作中别的记录再遇到这种情况，都按你现在的选择处理。\n"
                        "是：全部保留我的修改\n"
                        "否：全部采用对方的内容\n"
                        "取消：在这里停止这次操作，已经保存的修改保留")},
        {"a bulk deletion's question: what the other desk changed",
         contestedOn(statistics, {{QStringLiteral("鞋底型号"), QStringLiteral("D8")}, {QStringLiteral("双数"), qint64(3)}},
                     {{QStringLiteral("鞋底型号"), QStringLiteral("D8")}, {QStringLiteral("双数"), qint64(3)}},
                     {{QStringLiteral("鞋底型号"), QStringLiteral("D8")}, {QStringLiteral("双数"), qint64(9)}},
                     {QStringLiteral("双数")}, true, true),
         QStringLiteral("你要删除的鞋底统计表中的记录（鞋底型号：D8，供应商：（空））已被另一台电脑（前台）修改过。\n"
                        "字段：原来的值 → 对方的值\n"
                        "双数：3 → 9\n"
                        "这次操作中别的记录再遇到这种情况，都按你现在的选择处理。\n"
                        "是：全部仍然删除\n"
                        "否：全部采用对方的内容\n"
                        "取消：在这里停止这次操作，已经保存的修改保留")},
    };
}

class ConflictQuestion : public ::testing::TestWithParam<QuestionCase> {};

TEST_P(ConflictQuestion, NamesTheRecordWhatDiffersTheDeskAndTheAnswers)
{
    const QuestionCase& c = GetParam();
    EXPECT_EQ(kit::conflictQuestion(c.conflict), c.expected);
}

INSTANTIATE_TEST_SUITE_P(EachConflict, ConflictQuestion, ::testing::ValuesIn(questionCases()));

// In a bulk command the box has a third button, Cancel, which stops the
// command; a box closed counts as Cancel.
TEST(ConflictResolver, InABulkCommandCancelStops)
{
    QuestionCase asked = questionCases().front();
    asked.conflict.bulk = true;
    const struct {
        platform::MessageAnswer answer;
        data::ConflictChoice expected;
    } cases[] = {{platform::MessageAnswer::Yes, data::ConflictChoice::KeepMine},
                 {platform::MessageAnswer::No, data::ConflictChoice::TakeTheirs},
                 {platform::MessageAnswer::Cancel, data::ConflictChoice::Stop}};
    for (const auto& c : cases) {
        platform::ScriptedDialogs dialogs;
        dialogs.queueAnswer(c.answer);
        EXPECT_EQ(kit::askClerkInConflict(asked.conflict), c.expected) << int(c.answer);
        ASSERT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(dialogs.messages().front().buttons, platform::MessageButtons::YesNoCancel);
    }
}

TEST(ConflictResolver, YesKeepsMineNoTakesTheirs)
{
    const QuestionCase asked = questionCases().front();
    const struct {
        bool yes;
        data::ConflictChoice expected;
    } cases[] = {{true, data::ConflictChoice::KeepMine}, {false, data::ConflictChoice::TakeTheirs}};
    for (const auto& c : cases) {
        platform::ScriptedDialogs dialogs;
        dialogs.queueAnswer(c.yes);
        EXPECT_EQ(kit::askClerkInConflict(asked.conflict), c.expected) << c.yes;
        ASSERT_EQ(dialogs.messages().size(), 1u);
        const platform::ScriptedDialogs::Message& box = dialogs.messages().front();
        EXPECT_EQ(box.kind, platform::MessageKind::Question);
        EXPECT_EQ(box.buttons, platform::MessageButtons::YesNo);
        EXPECT_EQ(box.caption, QStringLiteral("提示信息"));
        EXPECT_EQ(box.text, asked.expected);
    }
}

}  // namespace
