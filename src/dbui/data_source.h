#pragma once

#include "data/engine/query.h"
#include "dbui/follow_timer.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace dbui {

// Binds data-aware widgets to one live query. Any number of widgets, in any
// number of windows, may share one data source; they all show the query's
// current record and hear its notifications through it.
//
// While the query is busy with a bulk loop, the widgets do not follow every
// record the loop visits: the query's notifications are held back and the
// widgets are brought up to date at most every followInterval(), when events
// run, and once more when the loop ends (by a resultReset()). A loop over
// 100,000 records thus repaints a grid a few times a second instead of
// 100,000 times.
class DataSource : public QObject {
    Q_OBJECT

public:
    explicit DataSource(data::Query* query = nullptr, QObject* parent = nullptr);

    data::Query* query() const { return query_; }
    void setQuery(data::Query* query);

    // A disabled data source keeps its query but its widgets show nothing
    // and offer no commands.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);

    // True when there is an open query and the data source is enabled.
    bool isActive() const;

    // True while the widgets follow a bulk loop only now and then.
    bool isFollowingLoop() const { return followingLoop_; }
    static int followIntervalMs();

    // Asks every bound widget to write what it holds but has not yet written
    // into the current record (an open grid cell editor, for instance). Called
    // before the record is posted or the cursor is moved by a command.
    void updateRecord();

signals:
    void queryChanged();
    void enabledChanged(bool enabled);
    void updateRecordRequested();

    // The query's notifications, passed on.
    void activeChanged(bool open);
    void stateChanged(data::Query::State state);
    void currentChanged(int recNo);
    void fieldChanged(int fieldIndex);
    void rowInserted(int row);
    void rowRemoved(int row);
    void rowChanged(int row);
    void resultReset();
    void busyChanged(bool busy);
    // Other desks changed rows of the result: the widgets show them again
    // where they stand, the record being edited keeping what was typed.
    void rowsRefreshed();

private:
    template <typename Signal, typename... Args>
    void pass(Signal signal, Args... args);
    void onBusyChanged(bool busy);
    void catchUp();

    QPointer<data::Query> query_;
    bool enabled_ = true;
    bool followingLoop_ = false;
    std::unique_ptr<FollowTimer> catchUpTimer_;
};

}  // namespace dbui
