#include "statistics/sole_assignment.h"

#include "data/lang/catalogue_lookup.h"
#include "data/engine/query.h"
#include "data/engine/undo_scope.h"
#include "statistics/statistics_messages.h"
#include "window_kit/progress.h"

namespace statistics {

namespace {

const QString ModelField = QStringLiteral("鞋的型号");
const QString ColourField = QStringLiteral("颜色");
const QString SupplierField = QStringLiteral("供应商");
const QString SoleField = QStringLiteral("鞋底型号");

// Field positions of a query, looked up once by name.
int indexOf(const data::Query& query, const QString& name) {
    const int index = query.fieldIndex(name);
    if (index < 0)
        throw data::EngineError::wrongLayout(query.tableName(), name);
    return index;
}

struct OrderFields {
    explicit OrderFields(const data::Query& q)
        : model(indexOf(q, ModelField)), colour(indexOf(q, ColourField)), pairs(indexOf(q, QStringLiteral("双数"))),
          batch(indexOf(q, QStringLiteral("批号"))), supplier(indexOf(q, SupplierField)), sole(indexOf(q, SoleField)) {}
    int model, colour, pairs, batch, supplier, sole;
};

}  // namespace

QString unregisteredLine(const QString& model, const QString& colour, const QString& pairs, const QString& batch) {
    return QStringList{model, colour, pairs, batch}.join(QLatin1Char(':'));
}

int assignSoles(data::Query& orders, data::Query& catalogue, const std::function<void(const QString&)>& addUnregisteredLine,
                kit::StatusSink& status) {
    int visited = 0;
    {
        const data::UndoScope undo(orders.engine(), QStringLiteral("调用鞋底"), data::statisticsWindowName(),
                                   {data::shownRows(orders)});
        data::BusyScope busyOrders(orders);
        data::BusyScope busyCatalogue(catalogue);
        orders.first();
        const OrderFields order(orders);
        int catalogueModel = -1, catalogueSupplier = -1, catalogueSole = -1;
        while (!orders.eof()) {
            status.letEventsRun();
            ++visited;
            const QString model = orders.field(order.model).asText();
            catalogue.setSql(data::catalogueLookupStatement(model, orders.field(order.colour).asText()));
            catalogue.open();
            if (catalogue.isEmpty()) {
                if (addUnregisteredLine)
                    addUnregisteredLine(unregisteredLine(model, orders.field(order.colour).asText(),
                                                         orders.field(order.pairs).asText(),
                                                         orders.field(order.batch).asText()));
                orders.edit();
                orders.field(order.supplier).setText(unregisteredText());
                orders.field(order.sole).setText(unregisteredText());
                orders.post();
            } else {
                if (catalogueModel < 0) {
                    catalogueModel = indexOf(catalogue, ModelField);
                    catalogueSupplier = indexOf(catalogue, SupplierField);
                    catalogueSole = indexOf(catalogue, SoleField);
                }
                catalogue.first();
                // The engine may match texts that are not the same characters;
                // only a row of exactly the order's model counts.
                if (catalogue.field(catalogueModel).asText() == model) {
                    orders.edit();
                    orders.field(order.supplier).setValue(catalogue.value(catalogueSupplier));
                    orders.field(order.sole).setValue(catalogue.value(catalogueSole));
                    orders.post();
                }
            }
            status.setProgress(kit::Progress::of(kit::mainTablePrefix(), orders.recordCount(), visited));
            orders.next();
        }
    }
    catalogue.setSql(catalogueStatement());
    catalogue.open();
    return visited;
}

}  // namespace statistics
