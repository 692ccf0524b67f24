#pragma once

#include "catalogue/catalogue_posting.h"
#include "catalogue/unregistered_models.h"
#include "data/table_fixture.h"
#include "recording_sink.h"

#include <functional>
#include <utility>
#include <vector>

// The unregistered list as a plain list of lines.
class LineList : public catalogue::EntryList {
public:
    void clear() override { lines.clear(); }
    int count() const override { return int(lines.size()); }
    QString entry(int index) const override { return lines[index]; }
    void add(const QString& entry) override { lines << entry; }

    QStringList lines;
};

// The three tables, the catalogue query with its posting rule as the window
// installs it, and the order query.
class CatalogueTables : public TableFixture {
protected:
    struct ModelRow {
        QString model, colour, sole, supplier;
    };
    struct OrderRow {
        QString model, colour;
    };

    void SetUp() override {
        TableFixture::SetUp();
        shoes = openQuery(QStringLiteral("select * from shoes.db"));
        catalogue::installCataloguePostingRule(*shoes, [this] { ++duplicateMessages; });
        orders = openQuery(QStringLiteral("select * from dd.db"));
    }

    // Stores catalogue records as given (no posting rule), then reopens the
    // catalogue query on all of them.
    void addModels(const std::vector<ModelRow>& models) {
        auto writer = openQuery(QStringLiteral("select * from shoes.db"));
        for (const ModelRow& m : models) {
            writer->append();
            writer->field(QStringLiteral("鞋的型号")).setText(m.model);
            writer->field(QStringLiteral("颜色")).setText(m.colour);
            writer->field(QStringLiteral("鞋底型号")).setText(m.sole);
            writer->field(QStringLiteral("供应商")).setText(m.supplier);
            writer->post();
        }
        shoes->setSql(QStringLiteral("select * from shoes.db"));
        shoes->open();
    }

    // Orders with batch numbers B1, B2, ... in the order given.
    void addOrders(const std::vector<OrderRow>& list) {
        for (const OrderRow& o : list)
            addOrder(*orders, QStringLiteral("B%1").arg(++batches_),
                     {{QStringLiteral("鞋的型号"), o.model}, {QStringLiteral("颜色"), o.colour}});
        orders->setSql(QStringLiteral("select * from dd.db"));
        orders->open();
    }

    // Removes every catalogue record and every order.
    void emptyTables() {
        for (data::Query* q : {shoes.get(), orders.get()}) {
            q->setSql(q == shoes.get() ? QStringLiteral("select * from shoes.db") : QStringLiteral("select * from dd.db"));
            q->open();
            while (!q->isEmpty())
                q->remove();
        }
    }

    // "model/colour/sequence" of every stored catalogue record, in table order.
    QStringList storedModels() {
        auto q = openQuery(QStringLiteral("select * from shoes.db"));
        QStringList rows;
        for (q->first(); !q->eof(); q->next())
            rows << q->field(QStringLiteral("鞋的型号")).asText() + QLatin1Char('/') + q->field(QStringLiteral("颜色")).asText() +
                        QLatin1Char('/') + q->field(QStringLiteral("顺序")).asText();
        return rows;
    }

    std::unique_ptr<data::Query> shoes;
    std::unique_ptr<data::Query> orders;
    int duplicateMessages = 0;

private:
    int batches_ = 0;
};
