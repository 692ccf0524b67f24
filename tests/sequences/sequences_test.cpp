// Random sequences of the order, catalogue and statistics commands, with the
// ways a command can end badly mixed in, played on the program and on the
// model of sequences/model.h; after every step the stored tables must equal
// the model. A failing run is shrunk to its shortest sequence and printed.
//
// TAVREL_SEQUENCE_SEED fixes the seed (printed on every run);
// TAVREL_SEQUENCE_RUNS and TAVREL_SEQUENCE_STEPS size the run;
// TAVREL_SEQUENCE_NO_REFUSALS leaves out the posts the test trigger refuses.

#include "driver.h"
#include "faults.h"

#include <gtest/gtest.h>
#include <iostream>
#include <random>

namespace {

using seq::Finding;
using seq::Kind;
using seq::Step;

quint64 environmentNumber(const char* name, quint64 otherwise) {
    bool ok = false;
    const quint64 value = qEnvironmentVariable(name).toULongLong(&ok);
    return ok ? value : otherwise;
}

// Started again as "another program" by a fault, this program does that
// part before any test runs, and ends.
const bool otherProgram = [] {
    seq::actAsOtherProgram();
    return false;
}();

class Sequences : public ::testing::TestWithParam<Store> {};

TEST_P(Sequences, RandomRunsAgreeWithTheModel) {
    // The test command replays the same seeds, so that it passes or fails
    // the same way on every run; scripts/sequences.sh draws fresh ones.
    const quint64 seed = environmentNumber("TAVREL_SEQUENCE_SEED", 1);
    const int runs = int(environmentNumber("TAVREL_SEQUENCE_RUNS", 20));
    const int length = int(environmentNumber("TAVREL_SEQUENCE_STEPS", 300));
    const char* store = GetParam() == Store::Files ? "table files" : "server";
    std::cout << "sequence seed " << seed << " (" << store << ", " << runs << " runs of " << length << " steps)" << std::endl;
    seq::PlayCounts counts;
    for (int run = 0; run < runs; ++run) {
        const quint64 runSeed = seed + quint64(run);
        const std::vector<Step> steps = seq::drawSequence(runSeed, length, GetParam());
        std::optional<seq::Finding> finding = seq::playSequence(GetParam(), steps, &counts);
        if (!finding)
            continue;
        const QString first = QStringLiteral("step %1: %2").arg(finding->step + 1).arg(finding->what);
        const std::vector<Step> shortest = seq::shrinkSequence(GetParam(), steps, *finding);
        FAIL() << "TAVREL_SEQUENCE_SEED=" << runSeed << " TAVREL_SEQUENCE_RUNS=1 TAVREL_SEQUENCE_STEPS=" << length << " ("
               << store << ")\nfirst difference at " << first.toStdString() << "\nshortest sequence ("
               << shortest.size() << " steps):\n"
               << seq::describe(shortest).toStdString() << "after its last step: " << finding->what.toStdString();
    }
    std::cout << counts.steps << " steps played on the " << store << ", " << counts.endedBadly << " of them ended by an error, "
              << counts.faults << " with a fault of the store" << std::endl;
}

// Sequences found by the random runs, kept as they were shrunk.
Step importRows(std::vector<QStringList> rows) {
    Step s;
    s.kind = Kind::Import;
    for (QStringList& row : rows) {
        while (row.size() < 22)
            row << QString();
        s.rows.push_back(row);
    }
    return s;
}

Step entry(const QString& orderNo, int start, int count) {
    Step s;
    s.kind = Kind::Entry;
    s.orderNo = orderNo;
    s.start = start;
    s.count = count;
    return s;
}

Step simple(Kind kind) {
    Step s;
    s.kind = kind;
    return s;
}

Step undo(int window) {
    Step s;
    s.kind = Kind::Undo;
    s.pick = window;  // 0 orders, 1 catalogue, 2 statistics
    return s;
}

TEST_P(Sequences, FoundSequencesAgreeWithTheModel) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases = {
        {"an import stopped by a duplicate batch number, then order entry",
         {importRows({{"B01"}}), importRows({{"B01"}}), entry("100", 1, 1)}},
        {"an import stopped by a duplicate after rows it stored, then order entry",
         {importRows({{"B01"}}), importRows({{"B02"}, {"B03"}, {"B01"}}), entry("100", 1, 1)}},
        {"an import stopped by a duplicate, then mark counted and a second import",
         {importRows({{"B01"}, {"B02"}}), importRows({{"B02"}}), simple(Kind::MarkCounted), importRows({{"7001"}})}},
        {"an import stopped by a cell that is no whole number, then order entry",
         {importRows({{"B01", "X1", "h", "2.5"}}), entry("100", 1, 2)}},
        {"mark counted stopped by a refused post keeps the marks made before it",
         {importRows({{"A1001", "X1", "黑", "", "", "", "", "", "0", "", "", "", "", "", "", "", "", "", "", "", "", "拒收"},
                      {"B01", "X1", "黑", "3", "", "", "", "", "", "", "", "", "", "", "", "12"}}),
          simple(Kind::MarkCounted)}},
        {"multiply stopped by a refused post at its first order, where the orders after it change other sizes",
         {importRows({{"A1001", "", "hbl", "3", "", "", "", "", "", "", "", "12", "", "", "", "", "", "1", "", "", "5", "拒收"},
                      {"B02", "", "白", "3", "", "", "", "", "", "", "", "0", "", "", "", "12", "", "", "", "", "", "急"}}),
          entry("A1", 2, 3), simple(Kind::Multiply), simple(Kind::Multiply)}},
        {"undoing a command, then the one before it, which no one changed since",
         {importRows({{"100002", "x1", "BLACK", "2", "", "", "", "", "", "", "", "", "", "", "25", "", "1"}}),
          simple(Kind::Divide), undo(0), undo(0)}},
        {"a sole assignment cut by a lost connection, then its orders deleted, then its undo",
         {entry("7", 2, 3), [] {
              Step s = simple(Kind::AssignSoles);
              s.fault = seq::Fault::ServerGone;
              s.faultAt = 2;
              return s;
          }(),
          simple(Kind::DeleteOrders), undo(2)}},
        {"mark counted cut by a lost connection, then an order edited by hand, then its undo",
         {importRows({{"7001", "X1", "zy", "2"}}), [] {
              Step s = simple(Kind::MarkCounted);
              s.fault = seq::Fault::ServerGone;
              s.faultAt = 1;
              return s;
          }(),
          [] {
              Step s = simple(Kind::EditOrder);
              s.pick = 72;
              s.edits = {{QStringLiteral("48"), QStringLiteral("25")}};
              return s;
          }(),
          undo(0)}},
        {"a sole assignment cut by a lost connection, then an earlier import undone, then the assignment undone",
         {importRows({{"B02", "A8", "H", "2", "", "", "", "", "", "", "", "1", "", "", "", "", "", "", "", "0"},
                      {"B01", "x1", "", "1", "", "5", "", "", "", "", "", "", "5", "", "", "", "", "", "", "", "", "备注1"},
                      {"c01", "A8", "白", "3", "99", "", "", "", "", "12", "", "", "", "", "", "0"}}),
          importRows({{"7001", "X1", "bl", "1", "", "", "", "", "", "", "25", "", "1", "25"}}),
          importRows({{"100002", "X1", "", "", "", "2", "2", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "急"}}),
          undo(0), [] {
              Step s = simple(Kind::AssignSoles);
              s.fault = seq::Fault::ServerGone;
              s.faultAt = 4;
              return s;
          }(),
          undo(0), undo(2)}},
        {"orders entered after the table file was read elsewhere, then marked",
         {entry("100", 1, 1), [] {
              Step s = entry("7", 1, 2);
              s.fault = seq::Fault::LogRemovedElsewhere;
              return s;
          }(),
          simple(Kind::MarkCounted), importRows({{"B01"}})}},
        {"an import stopped by a cell that is no whole number after the table file was read elsewhere, then order entry",
         {[] {
              Step s = importRows({{"B01", "A8", "hbl", "2.5"}});
              s.fault = seq::Fault::LogRemovedElsewhere;
              return s;
          }(),
          entry("A1", 4, 3)}},
        {"a size run shifted without changing anything after the table file was read elsewhere",
         {entry("7", 4, 2), [] {
              Step s = entry("0123", 1, 0);
              s.fault = seq::Fault::LogRemovedElsewhere;
              return s;
          }(),
          [] {
              Step s = simple(Kind::ShiftDown);
              s.pick = 78;
              return s;
          }()}},
        {"an import undone after the table file was read elsewhere and nothing written since",
         {importRows({{"7001", "X1", "", "0", "", "", "", "25", "", "", "", "", "", "", "", "", "", "", "12", "", "12"}}),
          [] {
              Step s = entry("100", 2, 0);
              s.fault = seq::Fault::LogRemovedElsewhere;
              return s;
          }(),
          undo(0)}},
        {"a sheet that stops answering, then an import",
         {[] {
              Step s = importRows({{"B01"}, {"B02"}});
              s.failAtRow = 3;
              return s;
          }(),
          importRows({{"B02"}})}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<seq::Finding> finding = seq::playSequence(GetParam(), c.steps);
        EXPECT_FALSE(finding) << "step " << finding->step + 1 << ": " << finding->what.toStdString() << "\n"
                              << seq::describe(c.steps).toStdString();
    }
}

// The tester itself: writes that the engine keeps in a transaction it never
// commits are not taken for stored ones, however well the engine's own
// connection reads them back.
TEST(SequenceTester, FindsWritesThatNeverReachTheFile) {
    Step held = entry("100", 1, 1);
    held.fault = seq::Fault::TransactionLeftOpen;
    const std::vector<Step> steps{held, entry("7", 1, 2)};
    const std::optional<seq::Finding> finding = seq::playSequence(Store::Files, steps);
    ASSERT_TRUE(finding);
    EXPECT_EQ(finding->step, 0);
    Finding shrunk = *finding;
    EXPECT_EQ(seq::shrinkSequence(Store::Files, steps, shrunk).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Stores, Sequences, ::testing::Values(Store::Files, Store::Server), storeName);

}  // namespace
