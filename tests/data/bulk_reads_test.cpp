// What a bulk loop reads while it writes: lookups answered inside a write
// group, walks read in ranges, field positions kept by a rule. Each is
// compared with what the test itself knows the table holds.

#include "data/core/open_table.h"
#include "data/engine/field_positions.h"
#include "data/lang/catalogue_lookup.h"
#include "table_fixture.h"

#include <QRandomGenerator>
#include <algorithm>
#include <map>
#include <set>

namespace {

using data::Query;

class BulkReads : public StoreFixture {
protected:
    // The catalogue rows the test stored and changed: id -> model, colour.
    using Catalogue = std::map<qint64, std::pair<QString, QString>>;

    static std::set<qint64> expectedIds(const Catalogue& rows, const QString& model, const QString& colour) {
        std::set<qint64> ids;
        for (const auto& [id, row] : rows)
            if (row.first == model && row.second == colour)
                ids.insert(id);
        return ids;
    }

    static std::set<qint64> foundIds(Query& lookup, const QString& sql) {
        lookup.setSql(sql);
        lookup.open();
        const std::vector<qint64> ids = lookup.rowIds();
        return {ids.begin(), ids.end()};
    }
};

TAVREL_ON_BOTH_STORES(BulkReads);

// Inside a loop's write group the lookups of a table see every write the loop
// made to it: records changed, added and deleted, in random order.
TEST_P(BulkReads, LookupsInsideALoopSeeTheLoopsOwnWrites) {
    const QStringList models{QStringLiteral("M1"), QStringLiteral("M2"), QStringLiteral("m1"), QStringLiteral("M1 "),
                             QStringLiteral("鞋3")};
    const QStringList colours{QStringLiteral("黑"), QStringLiteral("棕"), QStringLiteral("黑 ")};
    auto writer = openQuery(QStringLiteral("select * from shoes.db"));
    Catalogue rows;
    QRandomGenerator random(7);
    auto pick = [&](const QStringList& list) { return list[int(random.bounded(quint32(list.size())))]; };
    // Each (model, colour) at most once: the pair is the table's key.
    auto freePair = [&] {
        for (;;) {
            const std::pair<QString, QString> pair{pick(models), pick(colours)};
            if (std::none_of(rows.begin(), rows.end(), [&](const auto& r) { return r.second == pair; }))
                return pair;
        }
    };
    auto append = [&] {
        const auto [model, colour] = freePair();
        writer->append();
        writer->field(QStringLiteral("鞋的型号")).setText(model);
        writer->field(QStringLiteral("颜色")).setText(colour);
        writer->field(QStringLiteral("鞋底型号")).setText(QStringLiteral("D-") + model);
        writer->post();
        rows[writer->rowIds().back()] = {model, colour};
    };
    for (int i = 0; i < 6; ++i)
        append();

    Query lookup(*engine);
    lookup.setSql(QStringLiteral("select * from shoes.db"));
    lookup.open();
    {
        data::BusyScope busyLookup(lookup);
        data::BusyScope busyWriter(*writer);
        for (int step = 0; step < 120; ++step) {
            SCOPED_TRACE(step);
            const quint32 what = random.bounded(4u);
            if (what == 0 && rows.size() < 12) {
                append();
            } else if (what == 1 && rows.size() > 2) {
                const std::vector<qint64> ids = writer->rowIds();
                const qint64 id = ids[random.bounded(quint32(ids.size()))];
                writer->moveTo(int(std::find(ids.begin(), ids.end(), id) - ids.begin()) + 1);
                writer->remove();
                rows.erase(id);
            } else if (!rows.empty()) {
                const std::vector<qint64> ids = writer->rowIds();
                const int at = int(random.bounded(quint32(ids.size())));
                writer->moveTo(at + 1);
                const auto [model, colour] = freePair();
                writer->edit();
                writer->field(QStringLiteral("鞋的型号")).setText(model);
                writer->field(QStringLiteral("颜色")).setText(colour);
                writer->post();
                rows[ids[std::size_t(at)]] = {model, colour};
            }
            const QString model = pick(models), colour = pick(colours);
            EXPECT_EQ(foundIds(lookup, data::catalogueLookupStatement(model, colour)), expectedIds(rows, model, colour))
                << model.toStdString() << "/" << colour.toStdString();
        }
        // One field with two values finds nothing; with the same value twice, what one finds.
        const auto& [someId, some] = *rows.begin();
        EXPECT_EQ(foundIds(lookup, QStringLiteral("select * from shoes.db where 鞋的型号='%1' and 鞋的型号='x%1'").arg(some.first)),
                  std::set<qint64>{});
        EXPECT_EQ(foundIds(lookup, QStringLiteral("select * from shoes.db where 颜色='%2' and 鞋的型号='%1' and 鞋的型号='%1'")
                                       .arg(some.first, some.second)),
                  std::set<qint64>{someId});
    }
    // The same lookups after the loop, from the table itself.
    for (const QString& model : models)
        for (const QString& colour : colours)
            EXPECT_EQ(foundIds(lookup, data::catalogueLookupStatement(model, colour)), expectedIds(rows, model, colour));
}

// A walk reads the rows in ranges: rows deleted between them, rows added in
// the middle of the result and rows changed meanwhile all read as stored.
TEST_P(BulkReads, AWalkReadsEveryRowAsStored) {
    auto orders = openQuery(QStringLiteral("select * from dd.db"));
    for (int i = 1; i <= 400; ++i)
        addOrder(*orders, QStringLiteral("B%1").arg(i, 4, 10, QLatin1Char('0')), {{QStringLiteral("件数"), i}});
    // Gaps: every third record, and a run of forty.
    orders->close();
    orders->open();
    QStringList expected;
    int row = 1;
    for (int i = 1; i <= 400; ++i) {
        orders->moveTo(row);
        if (i % 3 == 0 || (i > 100 && i <= 140)) {
            orders->remove();
        } else {
            expected << QString::number(i);
            ++row;
        }
    }
    orders->close();
    orders->open();
    EXPECT_EQ(column(*orders, QStringLiteral("件数")), expected);

    // Records inserted in the middle of the open result get the highest ids.
    for (int at : {5, 90, 200}) {
        orders->moveTo(at);
        orders->insert();
        orders->field(QStringLiteral("批号")).setText(QStringLiteral("N%1").arg(at));
        orders->field(QStringLiteral("件数")).setInteger(1000 + at);
        orders->post();
        expected.insert(at - 1, QString::number(1000 + at));
    }
    EXPECT_EQ(column(*orders, QStringLiteral("件数")), expected);

    // Another query changes rows the walk has not read yet.
    for (int i : {151, 152, 299}) {
        auto other = openQuery(QStringLiteral("select * from dd.db where 批号='B%1'").arg(i, 4, 10, QLatin1Char('0')));
        ASSERT_EQ(other->recordCount(), 1);
        other->edit();
        other->field(QStringLiteral("件数")).setInteger(-i);
        other->post();
        expected.replace(expected.indexOf(QString::number(i)), QString::number(-i));
    }
    EXPECT_EQ(column(*orders, QStringLiteral("件数")), expected);
}

// A loop reads a range of records while it works through the one before
// (on a server, without waiting for it): records another query of the same
// desk changes or deletes ahead of the loop meanwhile are found as they are
// stored when the loop gets to them, before the range after theirs was asked
// for and after.
TEST_P(BulkReads, ALoopFindsWhatWasWrittenAheadOfIt) {
    constexpr int Orders = 7000;
    engine->table(QStringLiteral("dd.db"))
        ->connection->exec(QStringLiteral("WITH RECURSIVE g(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM g WHERE n < %1) "
                                          "INSERT INTO dd (\"批号\", \"件数\") SELECT 'C' || (10000 + n), n FROM g")
                               .arg(Orders));
    auto orders = openQuery(QStringLiteral("select * from dd.db"));
    ASSERT_EQ(orders->recordCount(), Orders);
    // At these rows of the loop, another query changes or deletes the
    // record of the given number.
    const struct {
        int atRow;
        int order;
        bool remove;
    } writes[] = {{10, 3000, false}, {10, 3500, true}, {2100, 6500, false}, {2100, 4100, true}, {4200, 6900, false}};
    QStringList expected;
    for (int i = 1; i <= Orders; ++i)
        expected << QString::number(i);
    QStringList found;
    {
        data::BusyScope busy(*orders);
        int row = 0;
        for (orders->first(); !orders->eof(); orders->next()) {
            ++row;
            for (const auto& w : writes) {
                if (w.atRow != row)
                    continue;
                auto other = openQuery(QStringLiteral("select * from dd.db where 批号='C%1'").arg(10000 + w.order));
                ASSERT_EQ(other->field(QStringLiteral("件数")).asInteger(), w.order);
                if (w.remove) {
                    other->remove();
                    expected[w.order - 1] = QString();
                } else {
                    other->edit();
                    other->field(QStringLiteral("件数")).setInteger(-w.order);
                    other->post();
                    expected[w.order - 1] = QString::number(-w.order);
                }
            }
            found << orders->field(QStringLiteral("件数")).asText();
        }
    }
    ASSERT_EQ(found.size(), expected.size());
    for (int i = 0; i < Orders; ++i)
        EXPECT_EQ(found[i], expected[i]) << "order " << i + 1;
}

// A rule's field positions follow the query they are used with: tables whose
// fields of the same names stand in other places, and a name a table lacks.
TEST(FieldPositionsOfARule, FollowTheTableOfTheQuery) {
    TableFolder folder;
    auto orders = folder.openQuery(QStringLiteral("select * from dd.db"));
    auto statistics = folder.openQuery(QStringLiteral("select * from xdtj.db"));
    const QStringList names{QStringLiteral("双数"), QStringLiteral("鞋底型号"), QStringLiteral("供应商")};
    data::FieldPositions positions(names);
    for (int round = 0; round < 2; ++round)
        for (Query* q : {orders.get(), statistics.get(), orders.get()}) {
            const std::vector<int>& at = positions.of(*q);
            ASSERT_EQ(at.size(), std::size_t(3));
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(q->fieldName(at[std::size_t(i)]), names[i]) << q->tableName().toStdString();
        }
    data::FieldPositions missing({QStringLiteral("供应商"), QStringLiteral("批号")});
    EXPECT_NO_THROW(missing.of(*orders));
    EXPECT_THROW(missing.of(*statistics), data::EngineError);
    EXPECT_THROW(missing.of(*statistics), data::EngineError);  // and again, not a position left from before
    EXPECT_NO_THROW(missing.of(*orders));
}

// A write the connection makes other than a record's (a statement of its
// own) leaves no copy behind: the next lookup reads the table.
TEST(TableFileLookups, AStatementWritingTheTableDropsTheCopy) {
    TableFolder folder;
    folder.storeRows(QStringLiteral("shoes.db"), {{{QStringLiteral("鞋的型号"), QStringLiteral("A")}, {QStringLiteral("颜色"), QStringLiteral("黑")}},
                                                  {{QStringLiteral("鞋的型号"), QStringLiteral("B")}, {QStringLiteral("颜色"), QStringLiteral("黑")}}});
    Query lookup(*folder.engine);
    lookup.setSql(QStringLiteral("select * from shoes.db"));
    lookup.open();
    data::BusyScope busy(lookup);
    auto count = [&](const QString& model) {
        lookup.setSql(data::catalogueLookupStatement(model, QStringLiteral("黑")));
        lookup.open();
        return lookup.recordCount();
    };
    EXPECT_EQ(count(QStringLiteral("A")), 1);
    const std::shared_ptr<data::OpenTable> table = folder.engine->table(QStringLiteral("shoes.db"));
    data::Statement& rename = table->connection->prepare(QStringLiteral("UPDATE shoes SET \"鞋的型号\"='C' WHERE \"鞋的型号\"='A'"));
    EXPECT_FALSE(rename.step());
    rename.reset();
    EXPECT_EQ(count(QStringLiteral("A")), 0);
    EXPECT_EQ(count(QStringLiteral("C")), 1);
    table->connection->exec(QStringLiteral("DELETE FROM shoes WHERE \"鞋的型号\"='B'"));
    EXPECT_EQ(count(QStringLiteral("B")), 0);
}

}  // namespace
