#pragma once

// One step of a sequence: a command with its inputs and, maybe, a way for it
// to end badly. Steps hold values, not positions: a row is picked by a number
// taken modulo the rows there are when the step is played, so a step still
// means something after the steps before it were dropped by the shrinker.

#include <QString>
#include <QStringList>
#include <random>
#include <vector>

namespace seq {

// Which orders the order window shows.
struct OrderFilter {
    enum class Kind { All, NotCounted, Combined, List } kind = Kind::All;
    // Combined: an empty text is an unticked row.
    QString batch, orderNo, model, colour;
    bool modelFuzzy = false, counted = false, notCounted = false;
    // List: 0 batch number, 1 order number, 2 shoe model.
    int listField = 0;
    QStringList lines;
};

// Which catalogue records the sole-model window shows.
struct ShoeFilter {
    bool all = true;
    bool bySole = false;  // else by shoe model
    QStringList terms;
};

// The ways a step can be made to end badly by the store.
enum class Fault {
    None,
    TableLocked,   // another connection holds the order table's file
    DiskFull,      // the order table's file cannot grow
    ServerGone,    // the engine's server sessions are ended mid-command
    // Before the command the program's own process reads dd.db outside
    // SQLite (as a file dialog over the data folder reads the files it
    // lists), which gives up the locks SQLite holds on it; then another
    // program uses the table and, ending as what it takes for its last user,
    // folds the log into the table and removes it.
    LogRemovedElsewhere,
    // Not drawn: the engine's connection to dd.db is left inside a
    // transaction before the step, as a fault of the program would leave it;
    // the tester's own test shows that such writes are not taken as stored.
    TransactionLeftOpen,
};

enum class Kind {
    Entry, Import, EditOrder, Multiply, Divide, ShiftUp, ShiftDown, MarkCounted, DeleteOrders,
    SearchOrders, AddShoe, SearchShoes, DeleteShoes, Scan, AddListed, AssignSoles, Aggregate, Undo,
};

// One order row of a sheet, as texts in the columns A to V.
using SheetRow = QStringList;

struct Step {
    Kind kind = Kind::SearchOrders;
    Fault fault = Fault::None;
    int faultAt = 0;     // ServerGone: the event turn at which the sessions end
    int pick = 0;        // a row, an entry or a window (Undo: 0 orders, 1 catalogue, 2 statistics)

    // Entry
    QString orderNo;
    int start = 1, count = 1;
    // Import: the sheet's data rows from row 2; failAtRow: the sheet stops
    // answering at that sheet row (0: never)
    std::vector<SheetRow> rows;
    int failAtRow = 0;
    // EditOrder: field name and text, in order
    std::vector<std::pair<QString, QString>> edits;
    // AddShoe
    QString model, colour, sole, supplier;
    // SearchOrders, SearchShoes
    OrderFilter orderFilter;
    ShoeFilter shoeFilter;

    QString describe() const;
};

// The pools the steps draw their inputs from, small so that values meet.
Step drawStep(std::mt19937_64& random, bool server);

QString describe(const std::vector<Step>& steps);

// The columns of the order window's lower grid, the import's column order.
const QStringList& sheetColumns();

}  // namespace seq
