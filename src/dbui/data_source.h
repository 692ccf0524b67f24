#pragma once

#include "data/query.h"

#include <QObject>
#include <QPointer>

namespace dbui {

// Binds data-aware widgets to one live query. Any number of widgets, in any
// number of windows, may share one data source; they all show the query's
// current record and hear its notifications through it.
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

private:
    QPointer<data::Query> query_;
    bool enabled_ = true;
};

}  // namespace dbui
