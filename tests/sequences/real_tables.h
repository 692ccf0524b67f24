#pragma once

// The program's operations layer over fresh tables, set up as the windows
// set it up (the posting rules and duplicate handling installed), and one
// step played on it.

#include "catalogue/unregistered_models.h"
#include "data/table_fixture.h"
#include "faults.h"
#include "recording_sink.h"
#include "step.h"

#include <memory>

namespace seq {

// What the program did with a step, in the terms the model predicts.
struct RealOutcome {
    bool failed = false;
    int duplicateMessages = 0;
    int importFailures = 0;
    QString undoCommand;
    bool undoDeclined = false;
    QString error;  // the text of an error that ended the step
    bool reconnected = false;  // the server was lost and is back: the results were opened again
};

class PlainList : public catalogue::EntryList {
public:
    void clear() override { lines.clear(); }
    int count() const override { return int(lines.size()); }
    QString entry(int index) const override { return lines[index]; }
    void add(const QString& entry) override { lines << entry; }
    QStringList lines;
};

class RealTables {
public:
    explicit RealTables(Store store);
    ~RealTables();

    RealOutcome play(const Step& step);
    // After a step that ended badly: cancel what is open, show everything.
    void showEverything();

    const QString& location() const;  // the folder or the server database
    // The batch numbers of the order result, in result order.
    QStringList orderResultBatches() const;
    const QStringList& unregisteredList() const { return list_.lines; }

private:
    void run(const Step& step, RealOutcome& out);
    void aggregate();
    void repaint();
    void undo(const Step& step, RealOutcome& out);

    Store store_;
    TableFolder folder_;
    std::unique_ptr<data::Query> orders_, shoes_, stats_;
    RecordingSink sink_;
    PlainList list_;
    int duplicateMessages_ = 0;
    std::unique_ptr<SessionKiller> killer_;
};

}  // namespace seq
