#include "dbui/data_source.h"

#include "dbui/follow_timer.h"

namespace dbui {

namespace {
// Ten times a second: the eye follows the loop, the loop hardly notices.
constexpr int FollowIntervalMs = 100;
}  // namespace

DataSource::DataSource(data::Query* query, QObject* parent) : QObject(parent)
{
    catchUpTimer_ = makeFollowTimer(FollowIntervalMs, [this] { catchUp(); });
    setQuery(query);
}

int DataSource::followIntervalMs() { return FollowIntervalMs; }

template <typename Signal, typename... Args>
void DataSource::pass(Signal signal, Args... args)
{
    if (!followingLoop_) {
        emit(this->*signal)(args...);
        return;
    }
    // Held back: the widgets catch up with everything at once, later.
    if (!catchUpTimer_->isActive())
        catchUpTimer_->start();
}

void DataSource::setQuery(data::Query* query)
{
    if (query_ == query)
        return;
    if (query_)
        disconnect(query_, nullptr, this, nullptr);
    query_ = query;
    followingLoop_ = false;
    catchUpTimer_->stop();
    if (query_) {
        using Q = data::Query;
        connect(query_, &Q::activeChanged, this, [this](bool open) { pass(&DataSource::activeChanged, open); });
        connect(query_, &Q::stateChanged, this, [this](Q::State s) { pass(&DataSource::stateChanged, s); });
        connect(query_, &Q::currentChanged, this, [this](int recNo) { pass(&DataSource::currentChanged, recNo); });
        connect(query_, &Q::fieldChanged, this, [this](int field) { pass(&DataSource::fieldChanged, field); });
        connect(query_, &Q::rowInserted, this, [this](int row) { pass(&DataSource::rowInserted, row); });
        connect(query_, &Q::rowRemoved, this, [this](int row) { pass(&DataSource::rowRemoved, row); });
        connect(query_, &Q::rowChanged, this, [this](int row) { pass(&DataSource::rowChanged, row); });
        connect(query_, &Q::resultReset, this, [this] { pass(&DataSource::resultReset); });
        connect(query_, &Q::rowsRefreshed, this, [this] { pass(&DataSource::rowsRefreshed); });
        connect(query_, &Q::busyChanged, this, &DataSource::onBusyChanged);
        connect(query_, &QObject::destroyed, this, [this] {
            followingLoop_ = false;
            catchUpTimer_->stop();
            emit queryChanged();
            emit resultReset();
        });
        followingLoop_ = query_->isBusy();
    }
    emit queryChanged();
    emit resultReset();
}

void DataSource::onBusyChanged(bool busy)
{
    if (busy) {
        followingLoop_ = true;
        emit busyChanged(true);
        return;
    }
    // The loop has ended, however it ended: one last catch-up, so that the
    // widgets stand on the loop's final record with its final data.
    followingLoop_ = false;
    catchUpTimer_->stop();
    emit resultReset();
    emit busyChanged(false);
}

void DataSource::catchUp()
{
    if (followingLoop_)
        emit resultReset();
}

void DataSource::setEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    emit enabledChanged(enabled_);
    emit resultReset();
}

bool DataSource::isActive() const
{
    return enabled_ && query_ && query_->isOpen();
}

void DataSource::updateRecord()
{
    emit updateRecordRequested();
}

}  // namespace dbui
