// Measures bringing 100,000 orders over from a Paradox order table: the
// table is written first through pxlib, then read alone, then imported into
// the program's tables with every record passing the order posting rule.

#include "paradox/paradox_import.h"
#include "paradox/paradox_table.h"
#include "paradox_writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int Orders = 100000;

paradox_fixture::Table orderTable() {
    paradox_fixture::Table table(paradox_fixture::orderFields());
    const char16_t* colours[] = {u"h", u"黑", u"ZY", u"卡其", u"bl"};
    table.records.reserve(Orders);
    for (int i = 0; i < Orders; ++i) {
        paradox_fixture::Record r = {QStringLiteral("%1%2").arg(2000 + i / 1000).arg(i % 1000, 3, 10, QLatin1Char('0')),
                                     QString::number(2000 + i / 1000),
                                     QStringLiteral("A%1").arg(1000 + i % 37),
                                     QString::fromUtf16(colours[i % 5]),
                                     qint64(1 + i % 12),
                                     paradox_fixture::Value()};
        for (int s = 0; s < 16; ++s) {
            if (s >= 4 && s < 10)
                r.push_back(qint64(6 + (i + s) % 7));
            else
                r.push_back(paradox_fixture::Value());
        }
        if (i % 10 == 0)
            r.emplace_back(QStringLiteral("加急\r\n月底前交货"));
        else
            r.emplace_back();
        if (i % 3 == 0)
            r.emplace_back();
        else
            r.emplace_back(i % 3 == 1);
        r.push_back(paradox_fixture::Value());
        r.push_back(paradox_fixture::Value());
        table.records.push_back(std::move(r));
    }
    return table;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString source = QDir(dir.path()).filePath(QStringLiteral("paradox"));
    QDir().mkpath(source);

    QElapsedTimer timer;
    timer.start();
    paradox_fixture::writeTable(QDir(source).filePath(QStringLiteral("shoes.db")),
                                paradox_fixture::Table(paradox_fixture::catalogueFields()));
    paradox_fixture::writeTable(QDir(source).filePath(QStringLiteral("xdtj.db")),
                                paradox_fixture::Table(paradox_fixture::statisticsFields()));
    paradox_fixture::writeTable(QDir(source).filePath(QStringLiteral("dd.db")), orderTable());
    std::printf("write %d orders with pxlib (fixture):  %8.0f ms\n", Orders, double(timer.elapsed()));

    timer.restart();
    {
        paradox::ParadoxTable table(QDir(source).filePath(QStringLiteral("dd.db")));
        table.attachMemoFile(QDir(source).filePath(QStringLiteral("dd.mb")));
        std::vector<paradox::ParadoxValue> values;
        QString problem;
        for (int i = 0; i < table.recordCount(); ++i)
            table.read(i, values, problem);
    }
    std::printf("read them alone through pxlib:          %8.0f ms\n", double(timer.elapsed()));

    timer.restart();
    const paradox::ImportSummary summary =
        paradox::importParadoxTables(source, QDir(dir.path()).filePath(QStringLiteral("data")));
    const double ms = double(timer.elapsed());
    std::printf("import them (rules, keys, tables):      %8.0f ms  (%.0f orders/s; target 10000 ms)\n", ms,
                Orders / (ms / 1000.0));
    std::printf("dd.db: read %d, stored %d, refused %d, unreadable %d\n", summary.tables[1].read,
                summary.tables[1].stored, summary.tables[1].refused, summary.tables[1].unreadable);
    return summary.tables[1].stored == Orders ? 0 : 1;
}
