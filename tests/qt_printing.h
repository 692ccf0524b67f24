#pragma once

// Lets GoogleTest print Qt values readably in failure messages.

#include <QString>
#include <QStringList>
#include <QVariant>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join(QStringLiteral(", ")).toStdString() << ']'; }
inline void PrintTo(const QVariant& v, std::ostream* os) {
    if (!v.isValid())
        *os << "(no value)";
    else
        *os << v.typeName() << ' ' << v.toString().toStdString();
}
