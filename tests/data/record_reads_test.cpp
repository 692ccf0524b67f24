// Records as a bulk loop reads and writes them: texts taken through the
// table's text cache, statements found again by their text, and an edit
// that writes only the fields it changed.

#include "data/core/open_table.h"
#include "table_fixture.h"

#include <QRandomGenerator>

namespace {

using data::Query;

// Texts of every kind, read through one cache in an order that makes them
// take each other's places, come back as their bytes say.
TEST(TextCacheOfAField, GivesTheTextOfTheBytesWhateverWasReadBefore) {
    QList<QByteArray> texts{"黑",           "棕",         "A1",        "A1 ",        "a1",          "O'Brien",
                            "\xF0\x9F\x91\x9F", "x\xF0\x9F\x91\x9Fy", "\xE9\xBB",  "\xE9\xBB\x91\xE9", "\xC3\x28", "1",
                            "鞋底型号",     "黑黑黑",     "D-001",     "D-010",      "D-100",       QByteArray(300, 'z')};
    for (int i = 0; i < 3000; ++i)  // more than the cache has places
        texts << QStringLiteral("S%1黑").arg(i).toUtf8();
    data::TextCache cache;
    QRandomGenerator random(11);
    for (int round = 0; round < 4; ++round)
        for (int i = 0; i < texts.size(); ++i) {
            const QByteArray& bytes = texts[round % 2 ? int(random.bounded(quint32(texts.size()))) : i];
            const QString text = cache.text(bytes.constData(), bytes.size());
            ASSERT_EQ(text, QString::fromUtf8(bytes)) << bytes.toHex().constData();
            ASSERT_EQ(text.size(), QString::fromUtf8(bytes).size());
        }
    EXPECT_TRUE(cache.text("", 0).isEmpty());
}

class RecordReads : public StoreFixture {};

TAVREL_ON_BOTH_STORES(RecordReads);

// Texts written and walked back, many times over, read as written; a text
// and no value stay apart.
TEST_P(RecordReads, TextsOfAWalkReadAsWritten) {
    auto orders = openQuery(QStringLiteral("select * from dd.db"));
    const QStringList remarks{QStringLiteral("黑"), QStringLiteral("O'Brien"), QString::fromUtf8("\xF0\x9F\x91\x9F 鞋"),
                              QString(), QStringLiteral("a"), QStringLiteral("A"), QStringLiteral(" a"), QStringLiteral("长长的备注").repeated(40)};
    QStringList expected;
    for (int i = 0; i < 300; ++i) {
        const QString remark = i % 7 == 6 ? QStringLiteral("R%1").arg(i) : remarks[i % remarks.size()];
        addOrder(*orders, QStringLiteral("B%1").arg(i, 4, 10, QLatin1Char('0')), {{QStringLiteral("备注"), remark}});
        expected << remark;
    }
    for (int round = 0; round < 2; ++round) {
        orders->close();
        orders->open();
        QStringList read;
        int missing = 0;
        for (orders->first(); !orders->eof(); orders->next()) {
            read << orders->field(QStringLiteral("备注")).asText();
            missing += orders->field(QStringLiteral("备注")).isNull() ? 1 : 0;
        }
        EXPECT_EQ(read, expected);
        EXPECT_EQ(missing, int(expected.count(QString())));
    }
}

// Walks over more rows than a result keeps read, edit and post every row
// they pass, forwards and backwards: each row ends as its edit left it,
// those the walk skipped as they were.
TEST_P(RecordReads, LongWalksEditEveryRowTheyPass) {
    constexpr int Rows = 2600;
    auto orders = openQuery(QStringLiteral("select * from dd.db"));
    {
        data::BusyScope busy(*orders);
        for (int i = 0; i < Rows; ++i)
            addOrder(*orders, QStringLiteral("W%1").arg(i, 5, 10, QLatin1Char('0')),
                     {{QStringLiteral("件数"), i}, {QStringLiteral("备注"), QStringLiteral("行%1").arg(i % 37)}});
    }
    struct Walk {
        const char* name;
        bool backwards;
        int every;  // edits every n-th row it passes
    };
    std::vector<qint64> expected(Rows);
    std::vector<QString> remarks(Rows);
    for (int i = 0; i < Rows; ++i) {
        expected[std::size_t(i)] = i;
        remarks[std::size_t(i)] = QStringLiteral("行%1").arg(i % 37);
    }
    for (const Walk& walk : {Walk{"forwards", false, 1}, Walk{"backwards", true, 3}, Walk{"forwards again", false, 7}}) {
        SCOPED_TRACE(walk.name);
        orders->close();
        orders->open();
        data::BusyScope busy(*orders);
        int row = walk.backwards ? Rows - 1 : 0;
        for (walk.backwards ? orders->last() : orders->first(); walk.backwards ? !orders->bof() : !orders->eof();
             walk.backwards ? orders->prior() : orders->next()) {
            ASSERT_EQ(orders->field(QStringLiteral("件数")).asInteger(), expected[std::size_t(row)]) << row;
            ASSERT_EQ(orders->field(QStringLiteral("备注")).asText(), remarks[std::size_t(row)]) << row;
            if (row % walk.every == 0) {
                orders->edit();
                const qint64 now = expected[std::size_t(row)] * 3 + 1;
                orders->field(QStringLiteral("件数")).setInteger(now);
                orders->field(QStringLiteral("备注")).setText(remarks[std::size_t(row)] + QLatin1Char('+'));
                orders->post();
                expected[std::size_t(row)] = now;
                remarks[std::size_t(row)] += QLatin1Char('+');
                EXPECT_EQ(orders->field(QStringLiteral("件数")).asInteger(), now);
            }
            row += walk.backwards ? -1 : 1;
        }
        EXPECT_EQ(row, walk.backwards ? -1 : Rows);
    }
    orders->close();
    orders->open();
    int row = 0;
    for (orders->first(); !orders->eof(); orders->next(), ++row) {
        ASSERT_EQ(orders->field(QStringLiteral("件数")).asInteger(), expected[std::size_t(row)]) << row;
        ASSERT_EQ(orders->field(QStringLiteral("备注")).asText(), remarks[std::size_t(row)]) << row;
    }
    EXPECT_EQ(row, Rows);
}

// An edit writes the fields it changed and no others: a field set to the
// value it was read with, or set and then set back, leaves another query's
// change to it standing. (On the server the two changes of one field would
// be a conflict to settle.)
class EditedRecords : public TableFixture {};

TEST_F(EditedRecords, WriteOnlyTheFieldsTheEditChanged) {
    struct Case {
        const char* name;
        std::vector<QVariant> setCases;  // the values set to 件数 in turn (it was read as 5)
        bool badValueToo;                // a value the field refuses set in between
        qint64 stored;                   // 件数 after both posts; the other query set 9
    };
    const Case cases[] = {
        {"untouched", {}, false, 9},
        {"set to the value read", {qint64(5)}, false, 9},
        {"set as text to the value read", {QStringLiteral("5")}, false, 9},
        {"set elsewhere and back", {qint64(6), qint64(7), qint64(5)}, false, 9},
        {"a refused value only", {}, true, 9},
        {"set and a refused value", {qint64(6)}, true, 6},
        {"set to another value", {qint64(6)}, false, 6},
        {"set twice", {qint64(6), qint64(8)}, false, 8},
        {"no value", {QVariant()}, false, 0},
    };
    auto orders = openQuery(QStringLiteral("select * from dd.db"));
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString batch = QStringLiteral("E%1").arg(++n);
        addOrder(*orders, batch, {{QStringLiteral("件数"), 5}, {QStringLiteral("备注"), QStringLiteral("旧")}});
        auto mine = openQuery(QStringLiteral("select * from dd.db where 批号='%1'").arg(batch));
        auto other = openQuery(QStringLiteral("select * from dd.db where 批号='%1'").arg(batch));
        ASSERT_EQ(mine->recordCount(), 1);
        mine->edit();
        mine->field(QStringLiteral("备注")).setText(QStringLiteral("新"));
        for (const QVariant& value : c.setCases)
            mine->field(QStringLiteral("件数")).setValue(value);
        if (c.badValueToo) {
            EXPECT_THROW(mine->field(QStringLiteral("件数")).setText(QStringLiteral("五")), data::EngineError);
        }

        other->edit();
        other->field(QStringLiteral("件数")).setInteger(9);
        other->post();
        mine->post();

        auto check = openQuery(QStringLiteral("select * from dd.db where 批号='%1'").arg(batch));
        ASSERT_EQ(check->recordCount(), 1);
        EXPECT_EQ(check->field(QStringLiteral("件数")).asInteger(), c.stored);
        EXPECT_EQ(check->field(QStringLiteral("备注")).asText(), QStringLiteral("新"));
    }
}

// Statements asked for by texts that are copies of one another, by texts
// made anew with the same characters and by texts changed after a copy was
// asked for, past the number of statements a connection keeps.
TEST(TableFileStatements, AreFoundByTheirTextHoweverItIsHeld) {
    TableFolder folder;
    const std::shared_ptr<data::OpenTable> table = folder.engine->table(QStringLiteral("dd.db"));
    data::Connection& connection = *table->connection;
    auto valueOf = [&](const QString& sql) {
        data::Statement& st = connection.prepare(sql);
        const qint64 value = st.step() ? st.columnInt(0) : -1;
        st.reset();
        return value;
    };
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        for (int i = 0; i < 300; ++i) {
            const QString text = QStringLiteral("SELECT %1").arg(i);
            const QString copy = text;
            ASSERT_EQ(valueOf(text), i);
            ASSERT_EQ(valueOf(copy), i);
            QString changed = copy;
            changed.append(QStringLiteral(" + 1"));
            ASSERT_EQ(valueOf(changed), i + 1);
            ASSERT_EQ(valueOf(QStringLiteral("SELECT %1").arg(i)), i);
            ASSERT_EQ(valueOf(QStringLiteral("SELECT 7")), 7);
        }
    }
}

// The statement's current row read as a record in one go, into a row that
// held another record, and value by value: the same values of the same types.
void expectReadInOneGoAsValueByValue(data::Statement& read, const data::OpenTable& table) {
    data::Row inOneGo{QVariant(QStringLiteral("left from a row read before")), QVariant(qint64(5))};
    read.record(table, inOneGo);
    data::Row valueByValue;
    read.Statement::record(table, valueByValue);
    read.reset();
    ASSERT_EQ(inOneGo.size(), valueByValue.size());
    for (std::size_t i = 0; i < inOneGo.size(); ++i) {
        EXPECT_EQ(inOneGo[i].typeId(), valueByValue[i].typeId()) << table.fields[std::min(i, table.fields.size() - 1)].name.toStdString();
        EXPECT_EQ(inOneGo[i], valueByValue[i]) << i;
    }
}

}  // namespace

// The table files read a record in one go; whatever SQLite holds in a field
// (a number in a text field, a text in a number field, bytes, nothing), the
// record comes out as reading it value by value gives it.
TEST(TableFileRecords, ReadInOneGoAsValueByValue) {
    TableFolder folder;
    const std::shared_ptr<data::OpenTable> table = folder.engine->table(QStringLiteral("dd.db"));
    data::Connection& connection = *table->connection;
    auto orders = folder.openQuery(QStringLiteral("select * from dd.db"));
    TableFolder::addOrder(*orders, QStringLiteral("R1"));
    orders->close();
    const QStringList stored{QStringLiteral("NULL"),      QStringLiteral("7"),        QStringLiteral("-3"),
                             QStringLiteral("0"),         QStringLiteral("1.5"),      QStringLiteral("'12'"),
                             QStringLiteral("'abc'"),     QStringLiteral("'黑'"),     QStringLiteral("x'E9BB91'"),
                             QStringLiteral("''"),        QStringLiteral("'0'"),      QStringLiteral("9223372036854775807")};
    for (const char* field : {"备注", "件数", "已统计"}) {
        for (const QString& value : stored) {
            SCOPED_TRACE(std::string(field) + " = " + value.toStdString());
            data::Statement& write =
                connection.prepare(QStringLiteral("UPDATE %1 SET %2 = %3").arg(table->quotedName, data::quotedIdentifier(QString::fromUtf8(field)), value));
            write.step();
            write.reset();
            data::Statement& read = connection.prepare(table->readRowsSql(1));
            const qint64 id = [&] {
                data::Statement& ids = connection.prepare(QStringLiteral("SELECT rowid FROM %1").arg(table->quotedName));
                const qint64 rowid = ids.step() ? ids.columnInt(0) : -1;
                ids.reset();
                return rowid;
            }();
            read.bindInt(1, id);
            ASSERT_TRUE(read.step());
            expectReadInOneGoAsValueByValue(read, *table);
        }
    }
}

// On the server a record is read in one go from the answer as it came; a
// value of another type than its field's (as a statement of another shape
// than the table's may give) comes out as reading it value by value gives it.
TEST(ServerRecords, ReadInOneGoAsValueByValue) {
    TableFolder folder(Store::Server);
    const std::shared_ptr<data::OpenTable> table = folder.engine->table(QStringLiteral("dd.db"));
    data::Connection& connection = *table->connection;
    auto orders = folder.openQuery(QStringLiteral("select * from dd.db"));
    TableFolder::addOrder(*orders, QStringLiteral("R1"), {{QStringLiteral("备注"), QStringLiteral("黑")}});
    orders->close();
    const QStringList given{QStringLiteral("NULL"),          QStringLiteral("7::bigint"), QStringLiteral("(-3)::integer"),
                            QStringLiteral("0::smallint"),   QStringLiteral("1.5"),       QStringLiteral("'12'::text"),
                            QStringLiteral("'abc'::text"),   QStringLiteral("'黑'::text"), QStringLiteral("''::text"),
                            QStringLiteral("'0'::text"),     QStringLiteral("true"),      QStringLiteral("false"),
                            QStringLiteral("9223372036854775807::bigint")};
    for (const char* field : std::initializer_list<const char*>{"备注", "件数", "已统计", nullptr}) {
        for (const QString& value : given) {
            SCOPED_TRACE(std::string(field ? field : "(as stored)") + " = " + value.toStdString());
            QStringList columns{QStringLiteral("rowid")};
            for (std::size_t i = 0; i < table->fields.size(); ++i)
                columns << (field && table->fields[i].name == QString::fromUtf8(field) ? value : table->quotedFields[i]);
            columns << QStringLiteral("tavrel_version");
            data::Statement& read =
                connection.prepare(QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QLatin1Char(',')), table->quotedName));
            ASSERT_TRUE(read.step());
            // Each column alike through the text cache and as a number.
            data::TextCache texts;
            for (int c = 0; c < int(columns.size()); ++c) {
                const QVariant plain = read.column(c);
                EXPECT_EQ(read.column(c, texts), plain) << c;
                EXPECT_EQ(read.column(c, texts).typeId(), plain.typeId()) << c;
                EXPECT_EQ(read.columnInt(c), plain.toLongLong()) << c;
            }
            expectReadInOneGoAsValueByValue(read, *table);
        }
    }
}
