#include "dbui/data_source.h"

namespace dbui {

DataSource::DataSource(data::Query* query, QObject* parent) : QObject(parent)
{
    setQuery(query);
}

void DataSource::setQuery(data::Query* query)
{
    if (query_ == query)
        return;
    if (query_)
        disconnect(query_, nullptr, this, nullptr);
    query_ = query;
    if (query_) {
        connect(query_, &data::Query::activeChanged, this, &DataSource::activeChanged);
        connect(query_, &data::Query::stateChanged, this, &DataSource::stateChanged);
        connect(query_, &data::Query::currentChanged, this, &DataSource::currentChanged);
        connect(query_, &data::Query::fieldChanged, this, &DataSource::fieldChanged);
        connect(query_, &data::Query::rowInserted, this, &DataSource::rowInserted);
        connect(query_, &data::Query::rowRemoved, this, &DataSource::rowRemoved);
        connect(query_, &data::Query::rowChanged, this, &DataSource::rowChanged);
        connect(query_, &data::Query::resultReset, this, &DataSource::resultReset);
        connect(query_, &data::Query::busyChanged, this, &DataSource::busyChanged);
        connect(query_, &QObject::destroyed, this, [this] {
            emit queryChanged();
            emit resultReset();
        });
    }
    emit queryChanged();
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
