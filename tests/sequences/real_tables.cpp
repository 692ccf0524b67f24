#include "real_tables.h"

#include "catalogue/catalogue_delete.h"
#include "catalogue/catalogue_posting.h"
#include "catalogue/catalogue_search.h"
#include "data/server_store_of.h"
#include "data/engine/undo_scope.h"
#include "orders/bulk_orders.h"
#include "orders/fake_worksheet.h"
#include "orders/order_entry.h"
#include "orders/order_import.h"
#include "orders/order_posting.h"
#include "orders/order_search.h"
#include "orders/size_runs.h"
#include "statistics/aggregation.h"
#include "statistics/sole_assignment.h"
#include "statistics/statistics_posting.h"

namespace seq {

namespace {

QString windowOf(int pick) { return QStringList{"订单表", "鞋底型号表", "鞋底统计"}[pick % 3]; }

orders::SearchCriteria criteriaOf(const OrderFilter& f) {
    orders::SearchCriteria c;
    c.batchTicked = !f.batch.isEmpty();
    c.batch = f.batch;
    c.orderTicked = !f.orderNo.isEmpty();
    c.order = f.orderNo;
    c.modelTicked = !f.model.isEmpty();
    c.model = f.model;
    c.modelFuzzy = f.modelFuzzy;
    c.colourTicked = !f.colour.isEmpty();
    c.colour = f.colour;
    c.counted = f.counted;
    c.notCounted = f.notCounted;
    return c;
}

QString statementOf(const OrderFilter& f) {
    switch (f.kind) {
    case OrderFilter::Kind::All: return orders::allOrdersStatement();
    case OrderFilter::Kind::NotCounted: return orders::notCountedStatement();
    case OrderFilter::Kind::Combined: return orders::combinedSearchStatement(criteriaOf(f));
    case OrderFilter::Kind::List:
        return orders::listSearchStatement(f.listField == 0   ? orders::ListSearchField::BatchNumber
                                           : f.listField == 1 ? orders::ListSearchField::OrderNumber
                                                              : orders::ListSearchField::ShoeModel,
                                           f.lines);
    }
    return {};
}

}  // namespace

RealTables::RealTables(Store store) : store_(store), folder_(store) {
    if (!qEnvironmentVariableIsSet("SEQ_NO_TRIGGER"))
        installRefusingTrigger(location(), store == Store::Server);
    orders_ = folder_.openQuery(QStringLiteral("select * from dd.db"));
    orders::installOrderPostingRule(*orders_, [this] { ++duplicateMessages_; });
    shoes_ = folder_.openQuery(QStringLiteral("select * from shoes.db"));
    catalogue::installCataloguePostingRule(*shoes_, [this] { ++duplicateMessages_; });
    stats_ = folder_.openQuery(QStringLiteral("select * from xdtj.db"));
    stats_->setBeforePost(statistics::applyStatisticsPostingRule);
    if (store == Store::Server)
        killer_ = std::make_unique<SessionKiller>(location());
}

RealTables::~RealTables() = default;

const QString& RealTables::location() const { return store_ == Store::Server ? folder_.location : folder_.engine->directory(); }

QStringList RealTables::orderResultBatches() const {
    QStringList batches;
    const int batch = orders_->fieldIndex(QStringLiteral("批号"));
    for (int row = 0; row < orders_->rowCount(); ++row)
        batches << orders_->valueAt(row, batch).toString();
    return batches;
}

void RealTables::repaint() {
    for (data::Query* q : {orders_.get(), shoes_.get(), stats_.get()}) {
        if (!q->isOpen())
            continue;
        for (int row = 0; row < q->rowCount(); ++row)
            for (int field = 0; field < q->fieldCount(); ++field)
                q->valueAt(row, field);
    }
}

void RealTables::showEverything() {
    for (data::Query* q : {orders_.get(), shoes_.get(), stats_.get()})
        if (q->isOpen())
            q->cancel();
    orders::showOrders(*orders_, orders::allOrdersStatement());
    catalogue::showAllModels(*shoes_, sink_);
}

RealOutcome RealTables::play(const Step& step) {
    RealOutcome out;
    duplicateMessages_ = 0;
    sink_.onEvents = nullptr;
    int turns = 0;
    // While a loop lets events run, the windows repaint: the grids read the
    // rows of their results.
    sink_.onEvents = [this, &turns, &step] {
        if (step.fault == Fault::ServerGone && killer_ && ++turns == step.faultAt)
            killer_->endEngineSessions();
        repaint();
    };
    std::unique_ptr<HeldFault> held;
    if (step.fault == Fault::TableLocked)
        held = lockOrderTable(location());
    else if (step.fault == Fault::DiskFull)
        held = fillOrderTableDisk(*folder_.engine);
    else if (step.fault == Fault::LogRemovedElsewhere && store_ == Store::Files)
        useTableFromElsewhere(location());
    else if (step.fault == Fault::TransactionLeftOpen)
        leaveTransactionOpen(*folder_.engine);
    try {
        run(step, out);
    } catch (const data::SilentAbort&) {
        out.failed = true;
    } catch (const std::exception& e) {
        out.failed = true;
        out.error = QString::fromUtf8(e.what());
    }
    held.reset();
    sink_.onEvents = nullptr;
    // The clerk waits until the status bar says the server is back (the link
    // tries every second; here its try is made at once).
    if (data::ServerStore* link = serverStoreOf(*folder_.engine)) {
        out.reconnected = !link->isConnected();
        for (int tries = 0; tries < 5 && !link->isConnected(); ++tries)
            link->reconnect();
    }
    out.duplicateMessages = duplicateMessages_;
    // The clerk closes what an error left open (Esc on a record being filled).
    for (data::Query* q : {orders_.get(), shoes_.get(), stats_.get()})
        if (q->isOpen() && q->isEditing())
            q->cancel();
    return out;
}

void RealTables::run(const Step& s, RealOutcome& out) {
    auto moveToPick = [&] {
        if (orders_->isEmpty())
            return false;
        orders_->moveTo(s.pick % orders_->recordCount() + 1);
        return true;
    };
    switch (s.kind) {
    case Kind::Entry:
        orders::enterOrders(*orders_, {s.orderNo, s.start, s.count});
        break;
    case Kind::Import: {
        FakeWorksheet sheet;
        for (std::size_t r = 0; r < s.rows.size(); ++r)
            sheet.setRow(int(r) + 2, s.rows[r]);
        sheet.failAtRow = s.failAtRow;
        const orders::ImportOutcome outcome =
            orders::importWorksheet(sheet, *orders_, sheetColumns(), sink_, [this, &out] {
                ++out.importFailures;
                repaint();  // the message box lets the windows repaint behind it
            });
        out.failed = outcome.end == orders::ImportOutcome::End::Failed;
        break;
    }
    case Kind::EditOrder:
        if (moveToPick()) {
            orders_->edit();
            for (const auto& [name, text] : s.edits)
                orders_->field(name).setText(text);
            orders_->post();
        }
        break;
    case Kind::Multiply: orders::multiplyByCases(*orders_, sink_); break;
    case Kind::Divide: orders::divideByCases(*orders_, sink_); break;
    case Kind::ShiftUp:
        if (moveToPick())
            orders::shiftSizeRunUp(*orders_);
        break;
    case Kind::ShiftDown:
        if (moveToPick())
            orders::shiftSizeRunDown(*orders_);
        break;
    case Kind::MarkCounted: orders::markCounted(*orders_, sink_); break;
    case Kind::DeleteOrders: orders::deleteShownOrders(*orders_, sink_); break;
    case Kind::SearchOrders: orders::showOrders(*orders_, statementOf(s.orderFilter)); break;
    case Kind::AddShoe:
        shoes_->last();
        shoes_->append();
        shoes_->field(QStringLiteral("鞋的型号")).setText(s.model);
        shoes_->field(QStringLiteral("颜色")).setText(s.colour);
        shoes_->field(QStringLiteral("鞋底型号")).setText(s.sole);
        shoes_->field(QStringLiteral("供应商")).setText(s.supplier);
        shoes_->post();
        break;
    case Kind::SearchShoes:
        if (s.shoeFilter.all)
            catalogue::showAllModels(*shoes_, sink_);
        else
            catalogue::searchModels(*shoes_, s.shoeFilter.bySole ? catalogue::SearchField::SoleModel : catalogue::SearchField::ShoeModel,
                                    s.shoeFilter.terms.join(QLatin1Char('\n')), sink_);
        break;
    case Kind::DeleteShoes: catalogue::deleteShownModels(*shoes_, sink_); break;
    case Kind::Scan: catalogue::scanUnregisteredModels(*orders_, *shoes_, list_, sink_); break;
    case Kind::AddListed:
        if (!list_.lines.isEmpty()) {
            const int index = s.pick % int(list_.lines.size());
            catalogue::addListedModel(*shoes_, list_.lines[index]);  // a duplicate ends here, the entry stays
            list_.lines.removeAt(index);
        }
        break;
    case Kind::AssignSoles:
        statistics::assignSoles(*orders_, *shoes_, [this](const QString& line) { list_.add(line); }, sink_);
        break;
    case Kind::Aggregate: aggregate(); break;
    case Kind::Undo: undo(s, out); break;
    }
}

// As the statistics window's "鞋底统计" runs it: one record for the sole
// assignment and the adding up.
void RealTables::aggregate() {
    const data::UndoScope undo(*folder_.engine, statistics::aggregationCommand(), data::statisticsWindowName(),
                               statistics::aggregationUndoParts(*orders_));
    statistics::assignSoles(*orders_, *shoes_, [this](const QString& line) { list_.add(line); }, sink_);
    if (statistics::statisticsTableHoldsRows(*stats_))
        statistics::clearStatisticsTable(*stats_, sink_);
    statistics::addUpOrders(*orders_, *stats_, sink_);
}

// As the undo buttons do it; the clerk declines when rows changed since.
void RealTables::undo(const Step& s, RealOutcome& out) {
    data::UndoJournal& journal = folder_.engine->undoJournal();
    const std::vector<data::UndoEntry> entries = journal.entries(windowOf(s.pick));
    if (entries.empty())
        return;
    out.undoCommand = entries.front().command;
    if (journal.changedSince(entries.front().id) > 0) {
        out.undoDeclined = true;
        return;
    }
    journal.undo(entries.front().id);
    orders_->open();
    shoes_->open();
}

}  // namespace seq
