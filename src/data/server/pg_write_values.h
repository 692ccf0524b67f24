#pragma once

// What the server connection's writes share: the limits of sending kept
// writes again, and the values of many records sent as arrays.
#include "data/core/errors.h"
#include "data/core/schema.h"
#include "data/server/pg_session.h"

#include <QString>
#include <QVariant>
#include <vector>

namespace data::pgwrites {

// How often a batch that lost a deadlock or a serialization conflict to
// another desk is sent again, whole, before the loop stops.
inline constexpr int BatchTries = 4;
// How often a conflict is settled again when the record changes once more
// while it is being settled.
inline constexpr int SettleRounds = 3;

// Faults of the moment that the same batch, sent again, usually gets past.
inline bool worthRetrying(const EngineError& e) {
    return e.sqlState() == QLatin1String("40P01") || e.sqlState() == QLatin1String("40001");
}

// Waits that ran out (a lock another desk holds, a statement too long): sent
// again one by one, each record would wait as long again.
inline bool waitedTooLong(const EngineError& e) {
    return e.sqlState() == QLatin1String("55P03") || e.sqlState() == QLatin1String("57014");
}

inline QString arrayType(FieldKind kind) {
    switch (kind) {
    case FieldKind::Integer: return QStringLiteral("bigint[]");
    case FieldKind::Boolean: return QStringLiteral("boolean[]");
    case FieldKind::Text: break;
    }
    return QStringLiteral("text[]");
}

inline std::vector<int> fieldsOfMask(quint64 mask) {
    std::vector<int> fields;
    for (int i = 0; i < 64; ++i)
        if (mask & (quint64(1) << i))
            fields.push_back(i);
    return fields;
}

inline quint64 maskOf(const std::vector<int>& fields) {
    quint64 mask = 0;
    for (int i : fields)
        mask |= quint64(1) << i;
    return mask;
}

inline QVariant array(std::vector<QVariant> values) { return QVariant::fromValue(pg::ArrayParam{std::move(values)}); }

}  // namespace data::pgwrites
