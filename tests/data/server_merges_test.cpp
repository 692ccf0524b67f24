// Two desks on one server write the same records: what only one desk
// changed merges without a question; where both changed a field the clerk
// is asked, once per bulk command, and may stop the command there.
#include "two_desks_fixture.h"

#include "window_kit/conflict_question.h"

#include <functional>

namespace {

using data::ConflictChoice;
using data::Query;

const QString Batch = QStringLiteral("批号");
const QString Pieces = QStringLiteral("件数");
const QString Size38 = QStringLiteral("38");
const QString Note = QStringLiteral("备注");
const QString Counted = QStringLiteral("已统计");
const QString AllOrders = QStringLiteral("select * from dd.db");

class ServerMerges : public TwoDesksOnAServer {
protected:
    ServerMerges() {
        deskA.engine->setConflictResolver([this](const data::Conflict& c) { return answer(askedAtA, c); });
        deskB->setConflictResolver([this](const data::Conflict& c) { return answer(askedAtB, c); });
    }

    ConflictChoice answer(std::vector<data::Conflict>& asked, const data::Conflict& conflict) {
        asked.push_back(conflict);
        return choice;
    }

    // Orders O001… with 件数 and 尺码38 of i, not counted.
    void storeOrders(int count) {
        auto writer = open(*deskA.engine, AllOrders);
        for (int i = 1; i <= count; ++i)
            TableFolder::addOrder(*writer, QStringLiteral("O%1").arg(i, 3, 10, QLatin1Char('0')),
                                  {{Pieces, qint64(i)}, {Size38, qint64(i)}, {Counted, false}});
    }

    // Only the given orders stored, and nobody asked yet.
    void startOver(int orders) {
        auto clear = open(*deskA.engine, AllOrders);
        while (!clear->isEmpty())
            clear->remove();
        storeOrders(orders);
        askedAtA.clear();
        askedAtB.clear();
    }

    // Every row of the result read, as a grid showing it would.
    static void readAll(Query& q) {
        for (q.first(); !q.eof(); q.next())
            q.value(0);
    }

    // A bulk loop over a result already read: `change` edits each record,
    // `midway` runs after the record given.
    static void loop(Query& q, const std::function<void(Query&)>& change, int midwayAfter = -1,
                     const std::function<void()>& midway = {}) {
        data::BusyScope busy(q);
        int done = 0;
        for (q.first(); !q.eof(); q.next()) {
            q.edit();
            change(q);
            q.post();
            if (++done == midwayAfter && midway)
                midway();
        }
    }

    static void multiplyByThree(Query& q) {
        q.field(Pieces).setInteger(q.field(Pieces).asInteger() * 3);
        q.field(Size38).setInteger(q.field(Size38).asInteger() * 3);
    }
    static void markCounted(Query& q) { q.field(Counted).setValue(true); }

    // What the server holds, read by a fresh result at desk B: 批号 →
    // (件数, 尺码38, 已统计, 备注).
    struct Stored {
        qint64 pieces;
        qint64 size38;
        bool counted;
        QString note;
        bool operator==(const Stored&) const = default;
    };
    std::map<QString, Stored> stored() {
        std::map<QString, Stored> rows;
        auto q = open(*deskB, AllOrders);
        for (q->first(); !q->eof(); q->next())
            rows[q->field(Batch).asText()] = {q->field(Pieces).asInteger(), q->field(Size38).asInteger(),
                                              q->field(Counted).value().toBool(), q->field(Note).asText()};
        return rows;
    }

    std::vector<data::Conflict> askedAtA, askedAtB;
    ConflictChoice choice = ConflictChoice::KeepMine;
};

// Desk A multiplies the pairs of every order while desk B marks them
// counted: both take effect on every order, sizes multiplied once, and
// nobody is asked, whichever desk's writes reach the server first.
TEST_F(ServerMerges, TwoBulkCommandsOnDifferentFieldsBothTakeEffectWithoutAQuestion) {
    constexpr int Orders = 300;
    struct Case {
        const char* name;
        bool bMidwayThroughA;  // B's whole command runs midway through A's; else A's runs while B's result is read
    };
    const Case cases[] = {{"B runs while A's loop holds its writes back", true},
                          {"A's loop is stored before B's, which read the orders earlier", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startOver(Orders);
        auto atA = open(*deskA.engine, AllOrders);
        auto atB = open(*deskB, AllOrders);
        readAll(*atA);
        readAll(*atB);
        if (c.bMidwayThroughA) {
            loop(*atA, multiplyByThree, Orders / 3, [&] { loop(*atB, markCounted); });
        } else {
            loop(*atA, multiplyByThree);
            loop(*atB, markCounted);
        }
        EXPECT_TRUE(askedAtA.empty());
        EXPECT_TRUE(askedAtB.empty());
        const std::map<QString, Stored> rows = stored();
        ASSERT_EQ(int(rows.size()), Orders);
        int i = 0;
        for (const auto& [batch, row] : rows) {
            ++i;
            EXPECT_EQ(row, (Stored{3 * i, 3 * i, true, QString()})) << batch.toStdString();
        }
        // The desk whose writes met the other's shows both desks' changes
        // (the other desk learns of them through the server's news).
        Query& merged = c.bMidwayThroughA ? *atA : *atB;
        for (merged.first(); !merged.eof(); merged.next()) {
            EXPECT_EQ(merged.field(Pieces).asInteger(), 3 * merged.recNo());
            EXPECT_TRUE(merged.field(Counted).value().toBool());
        }
    }
}

// A record posted alone: what only the other desk changed stays, what both
// changed is asked about field by field, a deletion of a record stored again
// unchanged is no conflict.
TEST_F(ServerMerges, ASinglePostMergesWhatOnlyOneDeskChanged) {
    struct Case {
        const char* name;
        std::function<void(Query&)> atB;  // B's change to O001, posted
        std::function<void(Query&)> atA;  // A's change to O001, posted after
        ConflictChoice answer;
        std::size_t questions;
        Stored after;
        std::vector<int> contested = {};  // of the question asked, as field names' indexes of 件数
    };
    const auto pieces = [](qint64 n) { return [n](Query& q) { q.field(Pieces).setInteger(n); }; };
    const auto note = [](const QString& t) { return [t](Query& q) { q.field(Note).setText(t); }; };
    const auto both = [](auto first, auto second) { return [=](Query& q) { first(q); second(q); }; };
    const Case cases[] = {
        {"different fields", note(QStringLiteral("加急")), pieces(5), ConflictChoice::KeepMine, 0,
         {5, 1, false, QStringLiteral("加急")}},
        {"the same value in the same field", pieces(5), pieces(5), ConflictChoice::KeepMine, 0,
         {5, 1, false, QString()}},
        {"the same field, A keeps its value", pieces(7), both(pieces(5), note(QStringLiteral("A"))),
         ConflictChoice::KeepMine, 1, {5, 1, false, QStringLiteral("A")}},
        {"the same field, A takes B's and keeps its other change", pieces(7),
         both(pieces(5), note(QStringLiteral("A"))), ConflictChoice::TakeTheirs, 1, {7, 1, false, QStringLiteral("A")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startOver(1);
        choice = c.answer;
        auto atA = open(*deskA.engine, AllOrders);
        readAll(*atA);
        auto atB = open(*deskB, AllOrders);
        atB->edit();
        c.atB(*atB);
        atB->post();

        atA->edit();
        c.atA(*atA);
        atA->post();
        ASSERT_EQ(askedAtA.size(), c.questions);
        if (c.questions > 0) {
            const data::Conflict& asked = askedAtA.front();
            EXPECT_FALSE(asked.bulk);
            ASSERT_EQ(asked.contested.size(), 1u);
            EXPECT_EQ(asked.fields.value(asked.contested.front()), Pieces);
            const QString question = kit::conflictQuestion(asked);
            EXPECT_TRUE(question.contains(QStringLiteral("件数：1 → 7 / 5"))) << question.toStdString();
            EXPECT_FALSE(question.contains(Note)) << question.toStdString();
        }
        EXPECT_EQ(stored().at(QStringLiteral("O001")), c.after);
        EXPECT_EQ(atA->field(Pieces).asInteger(), c.after.pieces);  // shown as stored
        EXPECT_EQ(atA->field(Note).asText(), c.after.note);
    }
}

TEST_F(ServerMerges, DeletingARecordStoredAgainUnchangedAsksNothing) {
    storeOrders(2);
    auto atA = open(*deskA.engine, AllOrders);
    readAll(*atA);
    auto atB = open(*deskB, AllOrders);
    for (const QString& text : {QStringLiteral("暂记"), QString()}) {  // changed, and back as it was
        atB->edit();
        atB->field(Note).setText(text);
        atB->post();
    }
    atA->first();
    atA->remove();
    EXPECT_TRUE(askedAtA.empty());
    EXPECT_EQ(stored().count(QStringLiteral("O001")), 0u);
}

// Both desks change 件数 of the same orders: a bulk command at desk A asks
// once, and the answer holds for every order of the command; Stop ends it,
// names the orders not stored, and the next command stores.
TEST_F(ServerMerges, ABulkCommandAsksOnceAndTheAnswerHoldsForAll) {
    constexpr int Orders = 5;
    struct Case {
        const char* name;
        ConflictChoice answer;
        qint64 piecesAdded;  // to i, in every order after the command
        QString note;        // A's other change, on every order
        bool stopped;
    };
    const Case cases[] = {
        {"keep mine for all", ConflictChoice::KeepMine, 10, QStringLiteral("A"), false},
        {"take theirs for all", ConflictChoice::TakeTheirs, 100, QStringLiteral("A"), false},
        {"stop", ConflictChoice::Stop, 100, QString(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startOver(Orders);
        choice = c.answer;
        auto atA = open(*deskA.engine, AllOrders);
        readAll(*atA);
        loop(*open(*deskB, AllOrders), [](Query& q) { q.field(Pieces).setInteger(q.field(Pieces).asInteger() + 100); });

        std::optional<data::EngineError> error;
        try {
            loop(*atA, [](Query& q) {
                q.field(Pieces).setInteger(q.field(Pieces).asInteger() + 10);
                q.field(Note).setText(QStringLiteral("A"));
            });
        } catch (const data::EngineError& e) {
            error = e;
        }
        ASSERT_EQ(askedAtA.size(), 1u);
        const data::Conflict& asked = askedAtA.front();
        EXPECT_TRUE(asked.bulk);
        EXPECT_EQ(asked.theirDesk, QStringLiteral("B 台"));
        const QString question = kit::conflictQuestion(asked);
        EXPECT_TRUE(question.contains(QStringLiteral("件数：1 → 101 / 11"))) << question.toStdString();
        EXPECT_TRUE(question.contains(QStringLiteral("取消：在这里停止这次操作"))) << question.toStdString();
        ASSERT_EQ(error.has_value(), c.stopped);
        if (c.stopped) {
            EXPECT_EQ(error->kind(), data::ErrorKind::StoppedInConflict);
            EXPECT_EQ(error->notStored().records, Orders);
            EXPECT_EQ(error->notStored().names.size(), Orders);
        }
        const std::map<QString, Stored> rows = stored();
        int i = 0;
        for (const auto& [batch, row] : rows) {
            ++i;
            EXPECT_EQ(row, (Stored{i + c.piecesAdded, i, false, c.note})) << batch.toStdString();
        }

        // The next command asks again, and stores.
        askedAtA.clear();
        choice = ConflictChoice::KeepMine;
        auto next = open(*deskA.engine, AllOrders);
        loop(*next, [](Query& q) { q.field(Size38).setInteger(0); });
        EXPECT_TRUE(askedAtA.empty());
        for (const auto& [batch, row] : stored())
            EXPECT_EQ(row.size38, 0) << batch.toStdString();
    }
}

}  // namespace
