#include "paradox_import_fixture.h"

#include <QFile>
#include <functional>

namespace {

using paradox_fixture::Table;

class ParadoxFailuresTest : public ParadoxImportFixture {
public:
    void writeTables() {
        write(QStringLiteral("shoes.db"),
              {paradox_fixture::catalogueFields(), {{text(u"A1"), text(u"h"), {}, {}, text(u"备注\r\n两行"), {}}}});
        Table orders{paradox_fixture::orderFields(), {}};
        for (int i = 0; i < 300; ++i)
            orders.records.push_back(order(QStringLiteral("B%1").arg(i), {}, text(u"A1"), text(u"黑"), whole(1), {},
                                           {{38, i}}, {}, {}));
        write(QStringLiteral("dd.db"), orders);
        write(QStringLiteral("xdtj.db"), {paradox_fixture::statisticsFields(), {}});
    }

    void truncate(const QString& name, qint64 size) {
        QFile file(paradoxPath(name));
        ASSERT_TRUE(file.resize(size));
    }

    void overwrite(const QString& name, qint64 at, const QByteArray& bytes) {
        QFile file(paradoxPath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        file.seek(at);
        file.write(bytes);
    }
};

// Each of these ends the import with a message naming the file, and leaves
// nothing in the data folder.
TEST_F(ParadoxFailuresTest, BrokenSourcesStopTheImportAndWriteNothing) {
    struct Case {
        const char* name;
        std::function<void(ParadoxFailuresTest&)> damage;
        QString file;     // named in the message
        QString phrase;   // says what is wrong
    };
    const std::vector<Case> cases = {
        {"missing table", [](ParadoxFailuresTest& t) { QFile::remove(t.paradoxPath(QStringLiteral("dd.db"))); },
         QStringLiteral("dd.db"), QStringLiteral("missing")},
        {"missing memo file", [](ParadoxFailuresTest& t) { QFile::remove(t.paradoxPath(QStringLiteral("shoes.mb"))); },
         QStringLiteral("SHOES.MB"), QStringLiteral("shoes.db")},
        {"truncated table", [](ParadoxFailuresTest& t) { t.truncate(QStringLiteral("dd.db"), 5000); },
         QStringLiteral("dd.db"), QStringLiteral("damaged")},
        {"table cut inside its header", [](ParadoxFailuresTest& t) { t.truncate(QStringLiteral("dd.db"), 100); },
         QStringLiteral("dd.db"), QStringLiteral("dd.db")},
        {"damaged header", [](ParadoxFailuresTest& t) { t.overwrite(QStringLiteral("xdtj.db"), 0, QByteArray(8, '\0')); },
         QStringLiteral("xdtj.db"), QStringLiteral("xdtj.db")},
        {"broken block chain",
         [](ParadoxFailuresTest& t) { t.overwrite(QStringLiteral("dd.db"), 2048, QByteArray("\xff\x7f\xff\x7f", 4)); },
         QStringLiteral("dd.db"), QStringLiteral("damaged")},
        {"circular block chain",
         [](ParadoxFailuresTest& t) { t.overwrite(QStringLiteral("dd.db"), 2048, QByteArray("\x01\x00", 2)); },
         QStringLiteral("dd.db"), QStringLiteral("circle")},
        {"field of a kind that cannot hold ours",
         [](ParadoxFailuresTest& t) {
             std::vector<paradox_fixture::Field> fields = paradox_fixture::orderFields();
             fields[4].type = paradox::ParadoxType::Date;  // "件数"
             t.write(QStringLiteral("dd.db"), Table(fields));
         },
         QStringLiteral("dd.db"), QStringLiteral("件数")},
        {"encrypted table",
         [](ParadoxFailuresTest& t) {
             Table orders{paradox_fixture::orderFields(), {t.order(t.text(u"B1"), {}, {}, {}, {}, {}, {}, {}, {})}};
             orders.password = QStringLiteral("secret");
             t.write(QStringLiteral("dd.db"), orders);
         },
         QStringLiteral("dd.db"), QStringLiteral("encrypted")},
        {"password in the older header field",
         [](ParadoxFailuresTest& t) { t.overwrite(QStringLiteral("dd.db"), 0x25, QByteArray("\x9a\xf2\x24\x6e", 4)); },
         QStringLiteral("dd.db"), QStringLiteral("encrypted")},
        {"unknown code page",
         [](ParadoxFailuresTest& t) {
             Table statistics{paradox_fixture::statisticsFields(), {}};
             statistics.codePage = 12345;
             t.write(QStringLiteral("xdtj.db"), statistics);
         },
         QStringLiteral("xdtj.db"), QStringLiteral("--encoding")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeTables();
        c.damage(*this);
        try {
            paradox::importParadoxTables(paradoxDir.path(), dataDir);
            ADD_FAILURE() << "the import went through";
        } catch (const paradox::ImportError& e) {
            EXPECT_TRUE(e.message().contains(c.file)) << e.message().toStdString();
            EXPECT_TRUE(e.message().contains(c.phrase)) << e.message().toStdString();
        }
        EXPECT_EQ(dataFiles(), QStringList());
    }
}

TEST_F(ParadoxFailuresTest, ExistingTablesAreNeverOverwritten) {
    writeTables();
    ASSERT_TRUE(QDir().mkpath(dataDir));
    QFile existing(QDir(dataDir).filePath(QStringLiteral("DD.db")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("kept");
    existing.close();

    try {
        paradox::importParadoxTables(paradoxDir.path(), dataDir);
        ADD_FAILURE() << "the import went through";
    } catch (const paradox::ImportError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("DD.db"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(QStringLiteral("already exists"))) << e.message().toStdString();
    }
    EXPECT_EQ(dataFiles(), QStringList{QStringLiteral("DD.db")});
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("kept"));
}

// A memo whose text is cut off makes its record unreadable; the others are stored.
TEST_F(ParadoxFailuresTest, DamagedMemoLeavesItsRecordOut) {
    writeTables();
    const qint64 memoSize = QFileInfo(paradoxPath(QStringLiteral("shoes.mb"))).size();
    truncate(QStringLiteral("shoes.mb"), 4096);
    ASSERT_GT(memoSize, 4096);

    const paradox::ImportSummary summary = paradox::importParadoxTables(paradoxDir.path(), dataDir);
    ASSERT_EQ(summary.tables.size(), 3u);
    const paradox::TableSummary& shoes = summary.tables[0];
    EXPECT_EQ(shoes.read, 1);
    EXPECT_EQ(shoes.stored, 0);
    EXPECT_EQ(shoes.unreadable, 1);
    ASSERT_EQ(shoes.problems.size(), 1u);
    EXPECT_TRUE(shoes.problems[0].unreadable);
    EXPECT_EQ(summary.tables[1].stored, 300);
    EXPECT_FALSE(summary.everythingStored());
}

}  // namespace
