#include "orders/size_runs.h"

#include "data/engine/query.h"
#include "data/core/schema.h"
#include "data/engine/undo_scope.h"
#include "window_kit/progress.h"

namespace orders {

namespace {

enum class Arithmetic { Multiply, Divide };

const QString& casesField() {
    static const QString name = QStringLiteral("件数");
    return name;
}

int convertSizes(data::Query& query, kit::StatusSink& status, Arithmetic arithmetic) {
    const data::UndoScope undo(query.engine(),
                               arithmetic == Arithmetic::Multiply ? QStringLiteral("件数相乘") : QStringLiteral("除以件数"),
                               data::ordersWindowName(), {data::shownRows(query)});
    data::BusyScope busy(query);
    query.first();
    const int total = query.recordCount();
    int done = 0;
    int skipped = 0;
    while (!query.eof()) {
        status.letEventsRun();
        ++done;
        const qint64 cases = query.field(casesField()).asInteger();
        if (cases == 0) {
            ++skipped;
        } else {
            query.edit();
            for (const QString& name : data::sizeFieldNames()) {
                data::Field size = query.field(name);
                if (arithmetic == Arithmetic::Multiply)
                    size.setInteger(size.asInteger() * cases);
                else
                    size.setValue(double(size.asInteger()) / double(cases));
            }
            query.post();
        }
        query.next();
        status.setProgress(kit::Progress::of(kit::mainTablePrefix(), total, done));
    }
    return skipped;
}

bool hasCurrentRow(const data::Query& query) { return query.isOpen() && !query.isEmpty() && query.recNo() > 0; }

// Copies every size into its neighbour in the direction of the shift and puts
// the value pushed off the end in at the other end.
void rotateSizes(data::Query& query, bool up) {
    if (!hasCurrentRow(query))
        return;
    const QStringList& sizes = data::sizeFieldNames();
    const int last = int(sizes.size()) - 1;
    const QString& leaving = up ? sizes[last] : sizes[0];
    const QString& entering = up ? sizes[0] : sizes[last];
    const QString kept = query.field(leaving).asText();
    query.edit();
    if (up) {
        for (int i = last; i > 0; --i)
            query.field(sizes[i]).setText(query.field(sizes[i - 1]).asText());
    } else {
        for (int i = 0; i < last; ++i)
            query.field(sizes[i]).setText(query.field(sizes[i + 1]).asText());
    }
    query.field(entering).setText(kept);
    query.post();
}

}  // namespace

int multiplyByCases(data::Query& query, kit::StatusSink& status) { return convertSizes(query, status, Arithmetic::Multiply); }

int divideByCases(data::Query& query, kit::StatusSink& status) { return convertSizes(query, status, Arithmetic::Divide); }

void shiftSizeRunUp(data::Query& query) { rotateSizes(query, true); }

void shiftSizeRunDown(data::Query& query) { rotateSizes(query, false); }

}  // namespace orders
