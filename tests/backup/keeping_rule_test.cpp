// The keeping rule and the daily schedule, on backups whose times the test
// writes out; the expected backups are listed by hand.

#include "backup/backup_folders.h"

#include <gtest/gtest.h>
#include <set>

namespace {

backup::BackupEntry made(const QDate& day, int hour = 8, backup::Kind kind = backup::Kind::Daily) {
    backup::BackupEntry entry;
    entry.manifest.time = QDateTime(day, QTime(hour, 0));
    entry.manifest.kind = kind;
    entry.path = entry.manifest.time.toString(QStringLiteral("yyyy-MM-dd HHmm"));
    return entry;
}

// One backup a day at 08:00 from first to last.
std::vector<backup::BackupEntry> daily(const QDate& first, const QDate& last) {
    std::vector<backup::BackupEntry> all;
    for (QDate d = first; d <= last; d = d.addDays(1))
        all.push_back(made(d));
    return all;
}

std::set<QString> removedPaths(const std::vector<backup::BackupEntry>& backups) {
    std::set<QString> paths;
    for (const backup::BackupEntry& b : backup::backupsToRemove(backups))
        paths.insert(b.path);
    return paths;
}

std::set<QString> pathsOf(const std::vector<backup::BackupEntry>& backups) {
    std::set<QString> paths;
    for (const backup::BackupEntry& b : backups)
        paths.insert(b.path);
    return paths;
}

QDate day(const char* iso) { return QDate::fromString(QString::fromLatin1(iso), Qt::ISODate); }

TEST(KeepingRule, KeepsFourteenDaysAndThenOneBackupForEachOfEightWeeks) {
    // 2026-09-01 to 2026-12-09, one a day: the days from Thursday 11-26 on,
    // then the Sunday of each of the eight weeks before the week of 11-26.
    const std::vector<backup::BackupEntry> all = daily(day("2026-09-01"), day("2026-12-09"));
    std::set<QString> kept;
    for (QDate d = day("2026-11-26"); d <= day("2026-12-09"); d = d.addDays(1))
        kept.insert(made(d).path);
    for (const char* sunday : {"2026-11-22", "2026-11-15", "2026-11-08", "2026-11-01", "2026-10-25", "2026-10-18",
                               "2026-10-11", "2026-10-04"})
        kept.insert(made(day(sunday)).path);
    ASSERT_EQ(kept.size(), 22u);
    std::set<QString> expectedRemoved;
    for (const QString& p : pathsOf(all))
        if (!kept.count(p))
            expectedRemoved.insert(p);
    EXPECT_EQ(removedPaths(all), expectedRemoved);
}

TEST(KeepingRule, TableOfCases) {
    using backup::Kind;
    struct Case {
        const char* name;
        std::vector<backup::BackupEntry> backups;
        std::set<QString> removed;
    };
    std::vector<backup::BackupEntry> threeADay;
    for (QDate d = day("2026-11-24"); d <= day("2026-12-09"); d = d.addDays(1)) {
        threeADay.push_back(made(d, 8));
        threeADay.push_back(made(d, 12, Kind::BeforeRestore));
        threeADay.push_back(made(d, 18, Kind::OnClose));
    }
    std::vector<backup::BackupEntry> weekBefore = daily(day("2026-11-25"), day("2026-12-08"));
    weekBefore.push_back(made(day("2026-11-22")));
    weekBefore.push_back(made(day("2026-11-21")));
    const Case cases[] = {
        {"nothing yet", {}, {}},
        {"fewer than fourteen days", daily(day("2026-12-01"), day("2026-12-09")), {}},
        // Every backup of a kept day stays; the two older days share the week
        // of the oldest kept day (Thursday 11-26), which the days cover.
        {"three a day for sixteen days",
         threeADay,
         {made(day("2026-11-24"), 8).path, made(day("2026-11-24"), 12).path, made(day("2026-11-24"), 18).path,
          made(day("2026-11-25"), 8).path, made(day("2026-11-25"), 12).path, made(day("2026-11-25"), 18).path}},
        // The week of Sunday 11-22 keeps its newest, 11-22, not 11-21.
        {"an older week keeps its newest", weekBefore, {made(day("2026-11-21")).path}},
        // A factory closed since June comes back to its last backups.
        {"months without backups",
         {made(day("2026-06-01")), made(day("2026-06-02")), made(day("2026-06-03")), made(day("2026-12-09"))},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(removedPaths(c.backups), c.removed);
    }
}

TEST(Schedule, TheFirstStartOfADayOwesADailyBackup) {
    using backup::Kind;
    const QDate today = day("2026-12-09");
    struct Case {
        const char* name;
        std::vector<backup::BackupEntry> backups;
        bool due;
    };
    const Case cases[] = {
        {"no backup at all", {}, true},
        {"yesterday's only", {made(today.addDays(-1))}, true},
        {"today's daily backup", {made(today.addDays(-1)), made(today, 7)}, false},
        {"only one made when closing last night", {made(today, 0, Kind::OnClose)}, true},
        {"only one made before a restore", {made(today, 9, Kind::BeforeRestore)}, true},
        {"only the tool's", {made(today, 2, Kind::ByHand)}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(backup::dailyBackupDue(c.backups, today), c.due);
    }
}

}  // namespace
