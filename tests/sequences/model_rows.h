#pragma once

// The rows of the three tables as the sequence model keeps them, and the
// rules a record passes when it is posted, written out in their plainest
// form. Nothing here calls the program: these are the expectations.

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace seq {

using Sizes = std::array<qint64, 16>;

// An order. The number fields of a stored order always hold a number.
struct Order {
    qint64 id = 0;
    QString batch, orderNo, model, colour;
    qint64 cases = 0, pairs = 0;
    Sizes sizes{};
    QString remark;
    bool counted = false;
    QString supplier, sole;

    bool operator==(const Order&) const = default;
};

// An order being filled in before it is posted: a number field may still be
// without value (the posting rule makes it 0).
struct PendingOrder {
    QString batch, orderNo, model, colour, remark, supplier, sole;
    std::optional<qint64> cases, pairs;
    std::array<std::optional<qint64>, 16> sizes{};
    bool counted = false;
};

struct Shoe {
    qint64 id = 0;
    QString model, colour, sole, supplier, remark, sequence;

    bool operator==(const Shoe&) const = default;
};

struct Stat {
    qint64 id = 0;
    QString supplier, sole;
    qint64 pairs = 0;
    Sizes sizes{};
    QString sequence;

    bool operator==(const Stat&) const = default;
};

// The eleven short codes: a text that is exactly one of them, ASCII capitals
// taken as small letters, becomes its colour name.
inline QString expandColour(const QString& colour) {
    static const std::array<std::pair<const char*, const char*>, 11> codes{{{"z", "棕"},
                                                                            {"zy", "棕油"},
                                                                            {"zc", "棕擦"},
                                                                            {"kq", "卡其"},
                                                                            {"h", "黑"},
                                                                            {"hc", "灰擦"},
                                                                            {"zl", "打蜡棕"},
                                                                            {"hbl", "黑/BLACK"},
                                                                            {"zbr", "棕/BROWN"},
                                                                            {"bl", "BLACK"},
                                                                            {"br", "BROWN"}}};
    QString lower = colour;
    for (QChar& c : lower)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    for (const auto& [code, name] : codes)
        if (lower == QLatin1String(code))
            return QString::fromUtf8(name);
    return colour;
}

inline qint64 sum(const Sizes& sizes) {
    qint64 total = 0;
    for (qint64 s : sizes)
        total += s;
    return total;
}

// Counts without value become 0, the colour code is expanded, the pairs are
// the sum of the sizes.
inline Order postOrder(const PendingOrder& p) {
    Order o;
    o.batch = p.batch;
    o.orderNo = p.orderNo;
    o.model = p.model;
    o.colour = expandColour(p.colour);
    o.cases = p.cases.value_or(0);
    for (int i = 0; i < 16; ++i)
        o.sizes[i] = p.sizes[i].value_or(0);
    o.pairs = sum(o.sizes);
    o.remark = p.remark;
    o.counted = p.counted;
    o.supplier = p.supplier;
    o.sole = p.sole;
    return o;
}

// The posting rule again on a stored order that was changed in place.
inline Order repostOrder(Order o) {
    o.colour = expandColour(o.colour);
    o.pairs = sum(o.sizes);
    return o;
}

inline Shoe postShoe(Shoe s) {
    s.colour = expandColour(s.colour);
    s.sequence = s.model + s.colour;
    return s;
}

inline Stat postStat(Stat s) {
    s.sequence = s.supplier + s.sole;
    s.pairs = sum(s.sizes);
    return s;
}

// A quotient rounded to the nearest whole number, an exact half to the even
// neighbour (sizes and cases are never negative here).
inline qint64 roundedQuotient(qint64 n, qint64 d) {
    qint64 q = n / d;
    const qint64 r2 = 2 * (n % d);
    if (r2 > d || (r2 == d && q % 2 != 0))
        ++q;
    return q;
}

// A text that a number field takes: digits, maybe a sign.
inline std::optional<qint64> wholeNumber(const QString& text) {
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

// What the searches compare with: "=" with an empty text matches a blank
// field; "LIKE '%t%'" never matches a blank field and ignores ASCII case.
inline bool equalsValue(const QString& field, const QString& value) { return field == value; }
inline QString asciiUpper(QString t) {
    for (QChar& c : t)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return t;
}
inline bool containsValue(const QString& field, const QString& value) {
    return !field.isEmpty() && asciiUpper(field).contains(asciiUpper(value));
}

// The rule of the tests' refusing trigger: an order whose remark is the
// marker is refused once it is counted or holds more than 60 pairs.
inline QString refusedMarker() { return QStringLiteral("拒收"); }
inline bool refusedByTrigger(const Order& o) { return o.remark == refusedMarker() && (o.counted || o.pairs > 60); }

// One row as the readers give it: the fields in table order, texts without
// value as "", booleans as 0 or 1.
QString render(const Order& o);
QString render(const Shoe& s);
QString render(const Stat& s);

}  // namespace seq
