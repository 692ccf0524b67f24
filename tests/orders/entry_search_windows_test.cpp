#include "windows_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QToolButton>

namespace {

const QString Batch = QStringLiteral("批号");
const QString NotCounted = QStringLiteral("select * from dd.db where 已统计=false");
const QString AllOrders = QStringLiteral("select * from dd.db");

class OrderEntryWindow : public OrderWindowsTest {
protected:
    void SetUp() override {
        OrderWindowsTest::SetUp();
        entry->show();
        QApplication::processEvents();
    }
    void enter(const QString& number, int start, int count) {
        entry->EditCNDH->setText(number);
        entry->EditBegin->setValue(start);
        entry->EditCount->setValue(count);
        click(entry->ToolButton1);
    }
};

TEST_F(OrderEntryWindow, StartsWithItsInitialValuesAndHint) {
    EXPECT_EQ(entry->EditCNDH->text(), QStringLiteral("100"));
    EXPECT_EQ(entry->EditBegin->value(), 1);
    EXPECT_EQ(entry->EditCount->value(), 1);
    EXPECT_EQ(entry->EditCNDH->toolTip(), QStringLiteral("双击提取订单编号里的下单日期"));
    EXPECT_EQ(entry->ToolButton1->text(), QStringLiteral("输入批号"));
    EXPECT_EQ(entry->ToolButton2->text(), QStringLiteral("清空数据"));
    EXPECT_FALSE(entry->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(OrderEntryWindow, GeneratesTheBatchesAndShowsTheNotCountedOrders) {
    seed({{{Batch, QStringLiteral("X1")}, {QStringLiteral("已统计"), true}}});
    enter(QStringLiteral("100"), 1, 3);
    EXPECT_EQ(stored(Batch), (QStringList{"X1", "100001", "100002", "100003"}));
    EXPECT_EQ(stored(QStringLiteral("单号")), (QStringList{QString(), "100", "100", "100"}));
    EXPECT_EQ(stored(QStringLiteral("双数")), (QStringList{QString(), "0", "0", "0"}));
    EXPECT_EQ(query->sql(), NotCounted);
    EXPECT_EQ(query->recordCount(), 3);
    EXPECT_EQ(query->recNo(), 1);
    EXPECT_EQ(orders->DBGrid1->model()->rowCount(), 3);
    // The boxes are not advanced.
    EXPECT_EQ(entry->EditBegin->value(), 1);
}

TEST_F(OrderEntryWindow, RefusesABadOrderNumberWithoutTouchingAnything) {
    struct Case {
        QString number;
        QString message;
    };
    const Case cases[] = {
        {QStringLiteral("0123"), QStringLiteral("厂内单号不能以“0“开头！")},
        {QString(), QStringLiteral("厂内单号不能为空！")},
    };
    seedBatches({QStringLiteral("A1")});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number.toStdString());
        enter(c.number, 1, 3);
        expectOneBox(c.message, QStringLiteral("提示信息"), platform::MessageIcon::Error, platform::MessageButtons::Ok);
        EXPECT_EQ(stored(Batch), QStringList{QStringLiteral("A1")});
        EXPECT_EQ(query->sql(), AllOrders);
        EXPECT_TRUE(query->isOpen());
    }
}

TEST_F(OrderEntryWindow, ASecondRunStopsAtTheFirstDuplicateWithOneMessage) {
    enter(QStringLiteral("100"), 1, 2);
    query->setSql(AllOrders);
    query->open();
    enter(QStringLiteral("100"), 2, 3);
    std::vector<Message> shown = takeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("批号重复!!!"));
    EXPECT_EQ(shown[0].caption, QString());
    EXPECT_EQ(stored(Batch), (QStringList{"100001", "100002"}));
    EXPECT_EQ(query->sql(), AllOrders);  // the run ended before switching the statement
    EXPECT_EQ(query->state(), data::Query::State::Browse);
}

// The disk fills up in the middle of a run: the clerk is told in Chinese, and
// every order stored before the fault is on disk, seen by a new connection.
TEST_F(OrderEntryWindow, ADiskFullEndsTheRunInChineseKeepingWhatWasStored) {
    const TranslatedFaults translated;
    seedBatches({QStringLiteral("X1")});
    data::Connection& tables = *engine->table(QStringLiteral("dd.db"))->connection;
    data::Statement& pages = tables.prepare(QStringLiteral("PRAGMA page_count"));
    ASSERT_TRUE(pages.step());
    const qint64 pageCount = pages.columnInt(0);
    pages.reset();
    tables.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pageCount + 2));
    enter(QStringLiteral("100"), 1, 2000);

    const std::vector<Message> shown = takeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.section(QLatin1Char('\n'), 0, 0), QStringLiteral("磁盘已满，数据表不能再写入。"));
    data::Engine afterwards(dir.path());
    data::Query reader(afterwards);
    reader.setSql(AllOrders);
    reader.open();
    QStringList batches;
    for (reader.first(); !reader.eof(); reader.next())
        batches << reader.field(Batch).asText();
    ASSERT_GT(batches.size(), 2);
    ASSERT_LT(batches.size(), 2001);
    EXPECT_EQ(batches.front(), QStringLiteral("X1"));
    for (int i = 1; i < batches.size(); ++i)
        ASSERT_EQ(batches[i], QStringLiteral("100%1").arg(i, 3, 10, QLatin1Char('0')));
    // What the order window holds is what is stored.
    EXPECT_EQ(stored(Batch), batches);
}

TEST_F(OrderEntryWindow, ClearEmptiesTheOrderNumberOnly) {
    entry->EditBegin->setValue(7);
    entry->EditCount->setValue(9);
    click(entry->ToolButton2);
    EXPECT_EQ(entry->EditCNDH->text(), QString());
    EXPECT_EQ(entry->EditBegin->value(), 7);
    EXPECT_EQ(entry->EditCount->value(), 9);
    EXPECT_EQ(stored(Batch), QStringList());
}

class SearchWindow : public OrderWindowsTest {
protected:
    void SetUp() override {
        OrderWindowsTest::SetUp();
        search->show();
        QApplication::setActiveWindow(search);
        QApplication::processEvents();
    }
    QString pickListFile() const { return programDir.filePath(QStringLiteral("CTMLIST.TXT")); }
    QString searchPanel() const { return search->sB->panelText(2); }
};

TEST_F(SearchWindow, TypingTicksTheRowAndTheCountedBoxesExcludeEachOther) {
    struct Case {
        QLineEdit* edit;
        QCheckBox* box;
    };
    const Case cases[] = {{search->EditPH, search->CBXPH},
                          {search->EditDH, search->CBXDH},
                          {search->EditCNXH, search->CBXCNXH},
                          {search->EditYS, search->CBXYS}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edit->objectName().toStdString());
        ASSERT_FALSE(c.box->isChecked());
        c.edit->setFocus();
        QTest::keyClicks(c.edit, QStringLiteral("x"));
        EXPECT_TRUE(c.box->isChecked());
    }
    EXPECT_FALSE(search->CBXCNXH_DYU->isChecked());

    click(search->CBXWTJ);
    click(search->CBXYTJ);
    EXPECT_TRUE(search->CBXYTJ->isChecked());
    EXPECT_FALSE(search->CBXWTJ->isChecked());
    click(search->CBXWTJ);
    EXPECT_TRUE(search->CBXWTJ->isChecked());
    EXPECT_FALSE(search->CBXYTJ->isChecked());
    click(search->CBXWTJ);  // unticking changes nothing else
    EXPECT_FALSE(search->CBXWTJ->isChecked());
    EXPECT_FALSE(search->CBXYTJ->isChecked());
}

TEST_F(SearchWindow, SearchReplacesTheOrderStatementAndWritesTheCountIntoBothBars) {
    seed({{{Batch, QStringLiteral("A1")}, {QStringLiteral("已统计"), true}},
          {{Batch, QStringLiteral("A2")}, {QStringLiteral("已统计"), true}},
          {{Batch, QStringLiteral("a1x")}}});
    ASSERT_FALSE(QFileInfo::exists(pickListFile()));
    search->EditPH->setFocus();
    QTest::keyClicks(search->EditPH, QStringLiteral("a1"));
    click(search->CBXYTJ);
    click(search->TButS);
    EXPECT_EQ(query->sql(), QStringLiteral("SELECT * FROM DD.DB WHERE 批号='A1' AND 已统计=TRUE"));
    EXPECT_EQ(query->recordCount(), 1);
    EXPECT_EQ(searchPanel(), QStringLiteral("共有记录:1条"));
    EXPECT_EQ(ordersPanel(2), QStringLiteral("共有记录:1条"));
    ASSERT_TRUE(QFileInfo::exists(pickListFile()));
    EXPECT_EQ(QFileInfo(pickListFile()).size(), 0);
    EXPECT_EQ(orders->DBGrid1->model()->rowCount(), 1);

    // Refresh shows every order again.
    click(search->ToolButton3);
    EXPECT_EQ(query->sql(), AllOrders);
    EXPECT_EQ(searchPanel(), QStringLiteral("共有记录:3条"));
    EXPECT_EQ(ordersPanel(2), QStringLiteral("共有记录:3条"));
}

TEST_F(SearchWindow, SearchKeepsAnExistingPickListFile) {
    platform::writeGbkTextLines(pickListFile(), {QStringLiteral("型A")});
    click(search->TButS);
    EXPECT_EQ(platform::readTextLines(pickListFile()), QStringList{QStringLiteral("型A")});
    EXPECT_EQ(query->sql(), QStringLiteral("SELECT * FROM DD.DB"));
    EXPECT_EQ(ordersPanel(2), QStringLiteral("共有记录:0条"));
}

TEST_F(SearchWindow, ListSearchesCheckTheCountOfBatchNumbersOnly) {
    seed({{{Batch, QStringLiteral("1001")}, {QStringLiteral("单号"), QStringLiteral("10")}},
          {{Batch, QStringLiteral("1002")}, {QStringLiteral("单号"), QStringLiteral("10")}},
          {{Batch, QStringLiteral("1003")}, {QStringLiteral("单号"), QStringLiteral("11")}}});
    struct Case {
        QToolButton* button;
        QString lines;
        int found;
        bool complains;
    };
    const Case cases[] = {
        {search->ToolButton12, QStringLiteral("1001\n1002\n1001\n"), 2, true},
        {search->ToolButton12, QStringLiteral("1001\n1003"), 2, false},
        {search->ToolButton13, QStringLiteral("10\n10\n99"), 2, false},
        {search->ToolButton14, QStringLiteral("M1"), 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines.toStdString());
        search->Memo1->setPlainText(c.lines);
        click(c.button);
        std::vector<Message> shown = takeMessages();
        ASSERT_EQ(shown.size(), c.complains ? 1u : 0u);
        if (c.complains) {
            EXPECT_EQ(shown[0].text, QStringLiteral("输入的批号有误！"));
            EXPECT_EQ(shown[0].caption, QApplication::applicationName());
            EXPECT_EQ(shown[0].icon, platform::MessageIcon::None);
            EXPECT_EQ(shown[0].buttons, platform::MessageButtons::Ok);
        }
        EXPECT_EQ(query->recordCount(), c.found);
        const QString count = QStringLiteral("共有记录:%1条").arg(c.found);
        EXPECT_EQ(searchPanel(), count);
        EXPECT_EQ(ordersPanel(2), count);
    }
    // An empty list searches nothing.
    search->Memo1->clear();
    const QString before = query->sql();
    click(search->ToolButton12);
    EXPECT_EQ(query->sql(), before);
}

TEST_F(SearchWindow, ClearTicksOnlyFuzzyAndLeavesTheOrdersAlone) {
    seedBatches({QStringLiteral("A1"), QStringLiteral("A2")});
    for (QLineEdit* edit : {search->EditPH, search->EditDH, search->EditCNXH, search->EditYS}) {
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("a"));
    }
    click(search->CBXWTJ);
    search->Memo1->setPlainText(QStringLiteral("A1\nA2"));
    click(search->TButS);
    const QString statement = query->sql();
    const QString status = ordersPanel(2);

    click(search->TBUTclear);
    for (QLineEdit* edit : {search->EditPH, search->EditDH, search->EditCNXH, search->EditYS})
        EXPECT_EQ(edit->text(), QString()) << edit->objectName().toStdString();
    QStringList ticked;
    for (QCheckBox* box : search->findChildren<QCheckBox*>())
        if (box->isChecked())
            ticked << box->objectName();
    EXPECT_EQ(ticked, QStringList{QStringLiteral("CBXCNXH_DYU")});
    EXPECT_EQ(search->Memo1->toPlainText(), QString());
    EXPECT_EQ(query->sql(), statement);
    EXPECT_EQ(ordersPanel(2), status);
}

// Showing the window loads the model choices of the lower order grid from the
// GBK file beside the program; a missing file leaves the last ones.
TEST_F(SearchWindow, ShowingTheWindowLoadsTheModelChoices) {
    EXPECT_EQ(orders->modelChoices(), QStringList());
    search->hide();
    platform::writeGbkTextLines(pickListFile(), {QStringLiteral("鞋A01"), QStringLiteral("黑底"), QString(), QStringLiteral("B2")});
    {
        QFile f(pickListFile());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        ASSERT_FALSE(f.readAll().contains(QStringLiteral("鞋").toUtf8()));  // really not UTF-8
    }
    search->show();
    const QStringList loaded{QStringLiteral("鞋A01"), QStringLiteral("黑底"), QString(), QStringLiteral("B2")};
    EXPECT_EQ(orders->modelChoices(), loaded);

    // A visible window brought forward again does not reload.
    platform::writeGbkTextLines(pickListFile(), {QStringLiteral("C3")});
    click(child(orders, "ToolButton2"));
    EXPECT_EQ(orders->modelChoices(), loaded);
    search->hide();
    QFile::remove(pickListFile());
    search->show();
    EXPECT_EQ(orders->modelChoices(), loaded);
    search->hide();
    platform::writeGbkTextLines(pickListFile(), {QStringLiteral("C3")});
    search->show();
    EXPECT_EQ(orders->modelChoices(), QStringList{QStringLiteral("C3")});

    // The choices are offered by the model cell's editor; other text can be typed.
    seedBatches({QStringLiteral("A1")});
    QApplication::setActiveWindow(orders);
    QWidget* editor = typeIntoCell(orders->DBGrid1, 0, 1, QString());
    auto* combo = qobject_cast<QComboBox*>(editor);
    ASSERT_TRUE(combo);
    EXPECT_TRUE(combo->isEditable());
    ASSERT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("C3"));
    combo->setEditText(QStringLiteral("自由型号"));
    pressEnter(combo);
    EXPECT_EQ(stored(QStringLiteral("鞋的型号")), QStringList{QStringLiteral("自由型号")});
}

}  // namespace
