#include "paradox_import_fixture.h"

#include <QProcess>

namespace {

using paradox::ParadoxType;
using paradox_fixture::Table;
using Value = paradox_fixture::Value;

const char16_t* const LongRemark = u"第一行：鞋底须防滑\r\n第二行：月底前交货\r\n第三行";

class ParadoxImportTest : public ParadoxImportFixture {
protected:
    // The factory's three tables, with one record of each table refused.
    void writeFactoryTables() {
        Table shoes{paradox_fixture::catalogueFields(), {}};
        shoes.records = {
            {text(u"A1"), text(u"h"), text(u"D-301"), text(u"温州鑫达鞋材"), text(LongRemark), text(u"旧顺序")},
            {text(u"A1"), text(u"黑"), text(u"D-999"), text(u"别家"), {}, {}},  // same model and colour once expanded
            {text(u"B2"), {}, text(u"PU-66"), {}, {}, {}},
        };
        write(QStringLiteral("shoes.db"), shoes);

        Table orders{paradox_fixture::orderFields(), {}};
        orders.records = {
            order(text(u"2601001"), text(u"2601"), text(u"A1"), text(u"ZY"), whole(3), whole(999), {{36, 12}, {37, 24}},
                  {}, true),
            order(text(u"2601002"), {}, text(u"A1"), text(u"黑"), {}, {}, {{40, 6}}, text(u"加急\r\n月底前交货"), {}),
            order(text(u"2601001"), text(u"2601"), text(u"C3"), text(u"h"), whole(1), {}, {{38, 1}}, {}, false),
            order(text(u"2601003"), text(u"2601"), text(u"B2"), text(u"卡其"), whole(2), whole(5), {}, {}, false),
        };
        write(QStringLiteral("dd.db"), orders);

        Table statistics{paradox_fixture::statisticsFields(), {}};
        paradox_fixture::Record full = {text(u"东莞永利橡胶"), text(u"R-118"), whole(1)};
        for (int size = 33; size <= 48; ++size)
            full.push_back(whole(size == 38 ? 15 : size == 39 ? 10 : 0));
        full.push_back(text(u"x"));
        paradox_fixture::Record gap = full;
        gap[1] = text(u"R-120");
        gap[3 + 5] = Value();  // size 38 blank
        statistics.records = {full, gap};
        write(QStringLiteral("xdtj.db"), statistics);
    }
};

TEST_F(ParadoxImportTest, RecordsPassThePostingRulesAndRefusalsAreListed) {
    writeFactoryTables();
    const paradox::ImportSummary summary = paradox::importParadoxTables(paradoxDir.path(), dataDir);

    struct Expected {
        const char* file;
        int read, stored, refused;
        int refusedRecord;
        QString reason;
    };
    const std::vector<Expected> expected = {
        {"shoes.db", 3, 2, 1, 2, QStringLiteral("型号颜色重复！ (鞋的型号 \"A1\", 颜色 \"黑\")")},
        {"dd.db", 4, 3, 1, 3, QStringLiteral("批号重复!!! (批号 \"2601001\")")},
        {"xdtj.db", 2, 2, 0, 0, QString()},  // a blank size counts as 0
    };
    ASSERT_EQ(summary.tables.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const paradox::TableSummary& t = summary.tables[i];
        SCOPED_TRACE(expected[i].file);
        EXPECT_EQ(t.fileName, QLatin1String(expected[i].file));
        EXPECT_EQ(t.read, expected[i].read);
        EXPECT_EQ(t.stored, expected[i].stored);
        EXPECT_EQ(t.refused, expected[i].refused);
        EXPECT_EQ(t.unreadable, 0);
        ASSERT_EQ(t.problems.size(), std::size_t(expected[i].refused));
        if (expected[i].refused == 0)
            continue;
        EXPECT_EQ(t.problems[0].recordNo, expected[i].refusedRecord);
        EXPECT_EQ(t.problems[0].reason, expected[i].reason);
    }
    EXPECT_FALSE(summary.everythingStored());
    EXPECT_EQ(dataFiles(), (QStringList{"dd.db", "shoes.db", "xdtj.db"}));

    auto shoes = openStored(QStringLiteral("select * from shoes.db"));
    ASSERT_EQ(shoes->recordCount(), 2);
    shoes->first();
    EXPECT_EQ(shoes->field(QStringLiteral("鞋的型号")).asText(), QStringLiteral("A1"));
    EXPECT_EQ(shoes->field(QStringLiteral("颜色")).asText(), QStringLiteral("黑"));
    EXPECT_EQ(shoes->field(QStringLiteral("鞋底型号")).asText(), QStringLiteral("D-301"));
    EXPECT_EQ(shoes->field(QStringLiteral("供应商")).asText(), QStringLiteral("温州鑫达鞋材"));
    EXPECT_EQ(shoes->field(QStringLiteral("备注")).asText(), QStringLiteral("第一行：鞋底须防滑\n第二行：月底前交货\n第三行"));
    EXPECT_EQ(shoes->field(QStringLiteral("顺序")).asText(), QStringLiteral("A1黑"));
    shoes->next();
    EXPECT_EQ(shoes->field(QStringLiteral("鞋的型号")).asText(), QStringLiteral("B2"));
    EXPECT_TRUE(shoes->field(QStringLiteral("颜色")).isNull());
    EXPECT_TRUE(shoes->field(QStringLiteral("供应商")).isNull());
    EXPECT_TRUE(shoes->field(QStringLiteral("备注")).isNull());
    EXPECT_EQ(shoes->field(QStringLiteral("顺序")).asText(), QStringLiteral("B2"));

    struct StoredOrder {
        QString batch, orderNo, model, colour;
        qint64 cases, pairs;
        std::vector<std::pair<int, qint64>> sizes;
        QString remark;
        bool counted;
    };
    const std::vector<StoredOrder> stored = {
        {"2601001", "2601", "A1", QStringLiteral("棕油"), 3, 36, {{36, 12}, {37, 24}}, "", true},
        {"2601002", "", "A1", QStringLiteral("黑"), 0, 6, {{40, 6}}, QStringLiteral("加急\n月底前交货"), false},
        {"2601003", "2601", "B2", QStringLiteral("卡其"), 2, 0, {}, "", false},
    };
    auto orders = openStored(QStringLiteral("select * from dd.db"));
    ASSERT_EQ(orders->recordCount(), int(stored.size()));
    orders->first();
    for (const StoredOrder& o : stored) {
        SCOPED_TRACE(o.batch.toStdString());
        EXPECT_EQ(orders->field(QStringLiteral("批号")).asText(), o.batch);
        EXPECT_EQ(orders->field(QStringLiteral("单号")).asText(), o.orderNo);
        EXPECT_EQ(orders->field(QStringLiteral("鞋的型号")).asText(), o.model);
        EXPECT_EQ(orders->field(QStringLiteral("颜色")).asText(), o.colour);
        EXPECT_EQ(orders->field(QStringLiteral("件数")).value(), QVariant(o.cases));
        EXPECT_EQ(orders->field(QStringLiteral("双数")).value(), QVariant(o.pairs));
        for (int size = 33; size <= 48; ++size) {
            qint64 want = 0;
            for (const auto& [s, n] : o.sizes)
                if (s == size)
                    want = n;
            EXPECT_EQ(orders->field(QString::number(size)).value(), QVariant(want)) << size;
        }
        EXPECT_EQ(orders->field(QStringLiteral("备注")).asText(), o.remark);
        EXPECT_EQ(orders->field(QStringLiteral("已统计")).asBoolean(), o.counted);
        EXPECT_TRUE(orders->field(QStringLiteral("供应商")).isNull());
        EXPECT_TRUE(orders->field(QStringLiteral("鞋底型号")).isNull());
        orders->next();
    }
    // A blank logical field was left unset, so the order counts as not counted.
    EXPECT_EQ(openStored(QStringLiteral("select * from dd.db where 已统计=false"))->recordCount(), 2);

    auto statistics = openStored(QStringLiteral("select * from xdtj.db"));
    ASSERT_EQ(statistics->recordCount(), 2);
    statistics->first();
    EXPECT_EQ(statistics->field(QStringLiteral("供应商")).asText(), QStringLiteral("东莞永利橡胶"));
    EXPECT_EQ(statistics->field(QStringLiteral("鞋底型号")).asText(), QStringLiteral("R-118"));
    EXPECT_EQ(statistics->field(QStringLiteral("双数")).asInteger(), 25);
    EXPECT_EQ(statistics->field(QStringLiteral("38")).asInteger(), 15);
    EXPECT_EQ(statistics->field(QStringLiteral("39")).asInteger(), 10);
    EXPECT_EQ(statistics->field(QStringLiteral("顺序")).asText(), QStringLiteral("东莞永利橡胶R-118"));
    statistics->next();
    EXPECT_EQ(statistics->field(QStringLiteral("鞋底型号")).asText(), QStringLiteral("R-120"));
    EXPECT_EQ(statistics->field(QStringLiteral("双数")).asInteger(), 10);
}

// Text is read in the table's code page unless one is forced.
TEST_F(ParadoxImportTest, TextIsDecodedFromTheCodePage) {
    struct Case {
        const char* name;
        int headerCodePage;
        QString storedAs;
        QString forced;
    };
    const std::vector<Case> cases = {
        {"code page 936", 936, QStringLiteral("GBK"), {}},
        {"no code page", 0, QStringLiteral("GBK"), {}},
        {"wrong code page, forced", 437, QStringLiteral("GBK"), QStringLiteral("GB18030")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QString data = QDir(folder.path()).filePath(QStringLiteral("data"));
        Table shoes{paradox_fixture::catalogueFields(), {{text(u"鞋型"), text(u"棕"), {}, text(u"鑫達"), {}, {}}}};
        shoes.codePage = c.headerCodePage;
        shoes.encoding = c.storedAs;
        paradox_fixture::writeTable(QDir(folder.path()).filePath(QStringLiteral("shoes.db")), shoes);
        Table orders{paradox_fixture::orderFields(), {}};
        orders.codePage = c.headerCodePage;
        orders.encoding = c.storedAs;
        paradox_fixture::writeTable(QDir(folder.path()).filePath(QStringLiteral("dd.db")), orders);
        paradox_fixture::writeTable(QDir(folder.path()).filePath(QStringLiteral("xdtj.db")),
                                    {paradox_fixture::statisticsFields(), {}});

        paradox::importParadoxTables(folder.path(), data, {c.forced});
        data::Engine engine(data);
        data::Query q(engine);
        q.setSql(QStringLiteral("select * from shoes.db"));
        q.open();
        ASSERT_EQ(q.recordCount(), 1);
        EXPECT_EQ(q.field(QStringLiteral("鞋的型号")).asText(), QStringLiteral("鞋型"));
        EXPECT_EQ(q.field(QStringLiteral("供应商")).asText(), QStringLiteral("鑫達"));
        EXPECT_EQ(q.field(QStringLiteral("顺序")).asText(), QStringLiteral("鞋型棕"));
    }
}

TEST_F(ParadoxImportTest, UpperCaseFileNamesAreFound) {
    write(QStringLiteral("SHOES.DB"), {paradox_fixture::catalogueFields(), {{text(u"A1"), text(u"bl"), {}, {}, {}, {}}}});
    ASSERT_TRUE(QFile::rename(paradoxPath(QStringLiteral("SHOES.mb")), paradoxPath(QStringLiteral("SHOES.MB"))));
    write(QStringLiteral("DD.DB"), {paradox_fixture::orderFields(), {}});
    write(QStringLiteral("XDTJ.DB"), {paradox_fixture::statisticsFields(), {}});

    const paradox::ImportSummary summary = paradox::importParadoxTables(paradoxDir.path(), dataDir);
    EXPECT_TRUE(summary.everythingStored());
    auto shoes = openStored(QStringLiteral("select * from shoes.db"));
    ASSERT_EQ(shoes->recordCount(), 1);
    EXPECT_EQ(shoes->field(QStringLiteral("颜色")).asText(), QStringLiteral("BLACK"));
}

// Fields are found by name, in any order; a field the table lacks is noted
// and left to the rules.
TEST_F(ParadoxImportTest, FieldsAreMatchedByName) {
    using T = ParadoxType;
    Table shoes({{QStringLiteral("颜色"), T::Alpha, 10},
                 {QStringLiteral("供应商"), T::Alpha, 20},
                 {QStringLiteral("鞋的型号"), T::Alpha, 10},
                 {QStringLiteral("其他"), T::Long, 4},
                 {QStringLiteral("鞋底型号"), T::Alpha, 10}},
                {{text(u"kq"), text(u"晋江协和鞋材"), text(u"E5008"), whole(7), text(u"PU-70")}});
    write(QStringLiteral("shoes.db"), shoes);
    writeEmptyTables(false, true, true);

    const paradox::ImportSummary summary = paradox::importParadoxTables(paradoxDir.path(), dataDir);
    EXPECT_EQ(summary.tables[0].notes,
              (QStringList{QStringLiteral("the table has no field \"备注\"; it is left empty."),
                           QStringLiteral("the table has no field \"顺序\"; it is left empty.")}));
    auto stored = openStored(QStringLiteral("select * from shoes.db"));
    ASSERT_EQ(stored->recordCount(), 1);
    EXPECT_EQ(stored->field(QStringLiteral("鞋的型号")).asText(), QStringLiteral("E5008"));
    EXPECT_EQ(stored->field(QStringLiteral("颜色")).asText(), QStringLiteral("卡其"));
    EXPECT_EQ(stored->field(QStringLiteral("鞋底型号")).asText(), QStringLiteral("PU-70"));
    EXPECT_EQ(stored->field(QStringLiteral("供应商")).asText(), QStringLiteral("晋江协和鞋材"));
    EXPECT_EQ(stored->field(QStringLiteral("顺序")).asText(), QStringLiteral("E5008卡其"));
}

// The tool lists what it refused, sums up per table, and says by its exit
// status whether everything was stored.
TEST_F(ParadoxImportTest, ToolReportsAndFailsWhenRecordsAreRefused) {
    struct Case {
        const char* name;
        bool withDuplicate;
        int exitCode;
        QStringList lines;
    };
    const std::vector<Case> cases = {
        {"clean", false, 0, {QStringLiteral("shoes.db：读出0条，存入0条，拒收0条"), QStringLiteral("dd.db：读出1条，存入1条，拒收0条")}},
        {"duplicate", true, 1,
         {QStringLiteral("dd.db：第2条记录拒收：批号重复!!! (批号 \"B1\")"), QStringLiteral("dd.db：读出2条，存入1条，拒收1条"),
          QStringLiteral("xdtj.db：读出0条，存入0条，拒收0条")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        writeEmptyTables(true, false, true);
        Table orders{paradox_fixture::orderFields(), {order(text(u"B1"), {}, {}, {}, {}, {}, {}, {}, {})}};
        if (c.withDuplicate)
            orders.records.push_back(order(text(u"B1"), {}, {}, {}, {}, {}, {}, {}, {}));
        write(QStringLiteral("dd.db"), orders);

        QProcess tool;
        tool.start(QStringLiteral(TAVREL_TABLES_TOOL),
                   {QStringLiteral("import-paradox"), paradoxDir.path(), QDir(folder.path()).filePath(QStringLiteral("d"))});
        ASSERT_TRUE(tool.waitForFinished(60000));
        const QStringList out = QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'));
        EXPECT_EQ(tool.exitCode(), c.exitCode);
        for (const QString& line : c.lines)
            EXPECT_TRUE(out.contains(line)) << line.toStdString() << "\n" << out.join(QLatin1Char('\n')).toStdString();
    }
}

}  // namespace
