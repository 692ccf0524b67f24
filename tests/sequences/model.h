#pragma once

// The model of the three tables, the two walked results and the unregistered
// list: plain containers and the commands written again in their simplest
// form. A command that the store stops part-way (a write refused, the table
// locked, the disk full, the server gone) is played with a write budget: the
// first write beyond it fails, and what the command did before stays.

#include "model_journal.h"
#include "model_rows.h"
#include "step.h"

#include <QStringList>
#include <vector>

namespace seq {

// Thrown inside a model command at the write that fails.
struct WriteFails {};

struct Outcome {
    bool failed = false;         // ended by an error the clerk is shown
    QString undoCommand;         // Undo: the command offered, empty for none
    bool undoDeclined = false;   // Undo: rows changed since, the clerk says no
    int duplicateMessages = 0;   // "批号重复!!!" or "型号颜色重复！"
    int importFailures = 0;      // the import's failure message
};

class Model {
public:
    explicit Model(bool storeReusesIds) : reusesIds_(storeReusesIds) {}

    // Plays one step. budget: writes that go through before one fails (-1:
    // all of them). Refused writes (the test trigger) fail as well.
    Outcome play(const Step& step, int budget = -1);

    // After a step that ended badly the clerk cancels what is open and shows
    // everything again in both windows.
    void showEverything();
    // The server came back: every result is opened again on its statement.
    void reopenResults() {
        openOrders(orderFilter_);
        openShoes(shoeFilter_);
    }

    // The rows a step writes at most, for trying every stopping point.
    int writesOf(const Step& step) const;

    QStringList renderedOrders() const;
    QStringList renderedShoes() const;
    QStringList renderedStats() const;

    // The batch numbers of the order result, in result order.
    QStringList orderResultBatches() const;
    const QStringList& unregisteredList() const { return list_; }
    void takeUnregisteredList(const QStringList& list) { list_ = list; }
    const ModelJournal& journal() const { return journal_; }

    // How many order result rows and list entries there are, to resolve a
    // step's pick.
    int orderRows() const { return int(orderResult_.size()); }
    int listEntries() const { return int(list_.size()); }

private:
    void write(bool refused = false);
    qint64 newId(int table);
    Order* order(qint64 id);
    Shoe* shoe(qint64 id);
    bool batchTaken(const QString& batch, qint64 except = 0) const;
    bool shoeTaken(const QString& model, const QString& colour, qint64 except = 0) const;
    void insertOrder(Order o, int position);
    void updateOrder(const Order& changed);
    void openOrders(const OrderFilter& filter);
    void openShoes(const ShoeFilter& filter);
    bool matches(const OrderFilter& f, const Order& o) const;
    bool matches(const ShoeFilter& f, const Shoe& s) const;

    void entry(const Step& s, Outcome& out);
    void import(const Step& s, Outcome& out);
    void editOrder(const Step& s, Outcome& out);
    void convertSizes(bool multiply);
    void shift(const Step& s);
    void markCounted();
    void deleteOrders();
    void addShoe(const Step& s, Outcome& out);
    void deleteShoes();
    void scan();
    void addListed(const Step& s, Outcome& out);
    void assignSoles();
    void aggregate();
    void undo(const Step& s, Outcome& out);

    void undoPart(const JournalEntry& entry, const JournalPart& part);

    bool reusesIds_;
    Tables db_;
    std::array<qint64, 3> lastIds_{};  // ids given so far, per table (the server never gives one twice)
    std::vector<qint64> orderResult_, shoeResult_;
    OrderFilter orderFilter_;
    ShoeFilter shoeFilter_;
    QStringList list_;
    ModelJournal journal_;
    int budget_ = -1;
    bool ordersLocked_ = false;
};

}  // namespace seq
