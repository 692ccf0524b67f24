#pragma once

#include "data/engine.h"
#include "data/query.h"
#include "data/table_files.h"
#include "statistics/export_services.h"
#include "window_kit/progress.h"

#include <QTemporaryDir>
#include <memory>

// The columns of the statistics grid: supplier, sole model, pairs, sizes.
inline QStringList statisticsColumns() {
    QStringList columns{QStringLiteral("供应商"), QStringLiteral("鞋底型号"), QStringLiteral("双数")};
    for (int size = 33; size <= 48; ++size)
        columns << QString::number(size);
    return columns;
}

// Texts of the record written for row i (from 1): a supplier with a long
// name, a model that looks like a number with a leading zero, the pairs and
// the sizes 36 and 37.
inline QStringList statisticsRecord(int i) {
    QStringList texts{QStringLiteral("温州鞋底供应有限公司%1").arg(i), QStringLiteral("0%1").arg(800 + i),
                      QString::number(10 + i)};
    for (int size = 33; size <= 48; ++size)
        texts << (size == 36 ? QStringLiteral("10") : size == 37 ? QString::number(i) : QStringLiteral("0"));
    return texts;
}

// A folder with the tables, the statistics table filled with n records, and
// its query.
class StatisticsTables {
public:
    explicit StatisticsTables(int records) {
        data::createTableFiles(dir.path());
        engine = std::make_unique<data::Engine>(dir.path());
        query = std::make_unique<data::Query>(*engine);
        query->setSql(QStringLiteral("select * from xdtj.db"));
        query->open();
        for (int i = 1; i <= records; ++i)
            append(statisticsRecord(i));
        query->open();
    }

    // Appends a record: the texts of the statistics columns in order (those
    // left out stay empty).
    void append(const QStringList& texts) {
        data::BusyScope busy(*query);
        const QStringList columns = statisticsColumns();
        query->append();
        for (int c = 0; c < texts.size(); ++c)
            query->field(columns[c]).setText(texts[c]);
        query->field(QStringLiteral("顺序")).setText(QStringLiteral("%1").arg(++appended, 6, 10, QLatin1Char('0')));
        query->post();
    }

    // The lower grid of the statistics window over the query.
    statistics::GridExport grid() const {
        return {QStringLiteral("DBGrid2"), statisticsColumns(), statisticsColumns(), query.get()};
    }

    QTemporaryDir dir;
    std::unique_ptr<data::Engine> engine;
    std::unique_ptr<data::Query> query;
    int appended = 0;
};

// Keeps every text written to a panel, in order.
class PanelTexts : public kit::StatusSink {
public:
    void setPanelText(int panel, const QString& text) override {
        if (panel == kit::ProgressPanel)
            texts << text;
    }
    void letEventsRun() override { ++eventTurns; }

    QStringList texts;
    int eventTurns = 0;
};
