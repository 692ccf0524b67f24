#include "dbui_fixture.h"

#include "dbui/db_check_box.h"
#include "dbui/db_memo.h"

namespace {

const QString Counted = QStringLiteral("已统计");

class FieldWidgetsTest : public DbuiFixture {};

TEST_F(FieldWidgetsTest, CheckBoxTickIsStoredWhenMovingOn)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2")});
    int hookRuns = 0;
    query->setBeforePost([&](data::Query&) { ++hookRuns; });
    dbui::DbCheckBox box(Counted);
    box.setDataSource(source.get());
    box.setFieldName(Counted);
    box.show();
    EXPECT_FALSE(box.isChecked());

    QTest::mouseClick(&box, Qt::LeftButton, {}, box.rect().center());
    EXPECT_TRUE(box.isChecked());
    EXPECT_EQ(query->state(), data::Query::State::Edit);
    query->next();
    EXPECT_EQ(hookRuns, 1);
    EXPECT_EQ(stored(Counted), (QStringList{QStringLiteral("True"), QStringLiteral("False")}));
    EXPECT_FALSE(box.isChecked());  // the second record's value

    query->first();
    EXPECT_TRUE(box.isChecked());
    QTest::mouseClick(&box, Qt::LeftButton, {}, box.rect().center());
    query->next();
    EXPECT_EQ(stored(Counted), (QStringList{QStringLiteral("False"), QStringLiteral("False")}));
}

TEST_F(FieldWidgetsTest, MemoShowsAndStoresTheCurrentRecordsText)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2")});
    query->next();
    query->edit();
    query->field(Remark).setText(QStringLiteral("line 1\nline 2"));
    query->post();
    query->first();

    dbui::DbMemo memo;
    memo.setDataSource(source.get());
    memo.setFieldName(Remark);
    memo.show();
    EXPECT_EQ(memo.toPlainText(), QString());
    EXPECT_EQ(query->state(), data::Query::State::Browse);  // showing a value is no edit
    query->next();
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("line 1\nline 2"));

    memo.setFocus();
    memo.moveCursor(QTextCursor::End);
    QTest::keyClicks(&memo, QStringLiteral("!"));
    QTest::keyClick(&memo, Qt::Key_Return);
    QTest::keyClicks(&memo, QStringLiteral("more"));
    EXPECT_EQ(query->state(), data::Query::State::Edit);
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("line 1\nline 2!\nmore"));  // the caret did not jump
    query->first();
    EXPECT_EQ(stored(Remark), (QStringList{QString(), QStringLiteral("line 1\nline 2!\nmore")}));

    // Cancelling shows the stored text again.
    query->next();
    QTest::keyClicks(&memo, QStringLiteral("x"));
    query->cancel();
    EXPECT_EQ(memo.toPlainText(), QStringLiteral("line 1\nline 2!\nmore"));
}

}  // namespace
