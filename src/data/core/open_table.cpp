#include "data/core/open_table.h"

#include <QStringList>
#include <atomic>
#include <cstring>

namespace data {

void OpenTable::setFields(std::vector<FieldInfo> declared) {
    static std::atomic<quint64> layouts{0};
    layout = ++layouts;
    fields = std::move(declared);
    quotedFields.clear();
    indexByName.clear();
    for (const FieldInfo& f : fields) {
        indexByName.insert(f.name, int(quotedFields.size()));
        quotedFields.push_back(quotedIdentifier(f.name));
    }
}

int OpenTable::fieldIndex(const QString& name) const {
    // Names are nearly always written as declared.
    if (const auto it = indexByName.constFind(name); it != indexByName.constEnd())
        return it.value();
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

QString OpenTable::rowColumns() const {
    QStringList columns{QStringLiteral("rowid")};
    for (const QString& f : quotedFields)
        columns << f;
    columns << versionColumn;
    return columns.join(QLatin1Char(','));
}

const QString& OpenTable::readRowsSql(int count) const {
    QString& sql = readRowsSql_[count];
    if (sql.isEmpty())
        sql = QStringLiteral("SELECT %1 FROM %2 WHERE rowid IN (%3)")
                  .arg(rowColumns(), quotedName, QStringLiteral("?,").repeated(count - 1) + QLatin1Char('?'));
    return sql;
}

const QString& OpenTable::readRangeSql() const {
    if (readRangeSql_.isEmpty())
        readRangeSql_ = QStringLiteral("SELECT %1 FROM %2 WHERE rowid BETWEEN ? AND ? ORDER BY rowid").arg(rowColumns(), quotedName);
    return readRangeSql_;
}

QString OpenTable::updateSql(const std::vector<int>& fieldIndexes) const { return writeSql(true, fieldIndexes); }
QString OpenTable::insertSql(const std::vector<int>& fieldIndexes) const { return writeSql(false, fieldIndexes); }

QString OpenTable::writeSql(bool update, const std::vector<int>& fieldIndexes) const {
    quint64 key = 0;
    const bool keyed = fields.size() <= 64;
    if (keyed) {
        for (int i : fieldIndexes)
            key |= quint64(1) << i;
        QHash<quint64, QString>& kept = update ? updateSql_ : insertSql_;
        if (const auto it = kept.constFind(key); it != kept.constEnd())
            return it.value();
    }
    QStringList parts;
    for (int i : fieldIndexes)
        parts << (update ? quotedFields[i] + QStringLiteral("=?") : quotedFields[i]);
    QString sql;
    if (update)
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(quotedName, parts.join(QLatin1Char(',')));
    else if (parts.isEmpty())
        sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quotedName);
    else
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quotedName, parts.join(QLatin1Char(',')), QStringLiteral("?,").repeated(parts.size() - 1) + QLatin1Char('?'));
    if (keyed)
        (update ? updateSql_ : insertSql_).insert(key, sql);
    return sql;
}

Statement& Connection::prepareRowRead(const OpenTable& table, int count) {
    return prepare(count > 0 ? table.readRowsSql(count) : table.readRangeSql());
}

Row Connection::readCurrent(const OpenTable& table, qint64 id, QString*) {
    Statement& st = prepare(table.readRowsSql(1));
    st.bindInt(1, id);
    Row row;
    if (st.step())
        row = readRecord(table, st);
    st.reset();
    return row;
}

TextCache& OpenTable::textsOf(int field) const {
    if (texts_.size() != fields.size())
        texts_.resize(fields.size());
    std::unique_ptr<TextCache>& texts = texts_[std::size_t(field)];
    if (!texts)
        texts = std::make_unique<TextCache>();
    return *texts;
}

QString TextCache::text(const char* utf8, qsizetype size) {
    if (size == 0)
        return QString::fromUtf8(utf8, size);
    if (!kept_)
        kept_ = std::make_unique<Kept[]>(Places);
    const QByteArrayView bytes(utf8, size);
    // FNV-1a: the texts are short, and a place taken by another text costs
    // only a text made anew.
    quint64 hash = 14695981039346656037ull;
    for (const char c : bytes)
        hash = (hash ^ quint8(c)) * 1099511628211ull;
    Kept& kept = kept_[(hash ^ (hash >> 32)) % Places];
    if (kept.utf8.size() != size || std::memcmp(kept.utf8.constData(), utf8, std::size_t(size)) != 0) {
        kept.utf8.resize(size);  // the place's bytes are used again
        std::memcpy(kept.utf8.data(), utf8, std::size_t(size));
        kept.text = QString::fromUtf8(bytes);
    }
    return kept.text;
}

Row readRecord(const OpenTable& table, Statement& st) {
    Row values;
    st.record(table, values);
    return values;
}

void Statement::record(const OpenTable& table, Row& into) {
    const int fieldCount = int(table.fields.size());
    into.resize(std::size_t(fieldCount) + 1);
    for (int i = 0; i < fieldCount; ++i) {
        QVariant& value = into[std::size_t(i)];
        switch (table.fields[std::size_t(i)].kind) {
        case FieldKind::Boolean: {
            const QVariant v = column(i + 1);
            value = QVariant(v.isValid() && v.toLongLong() != 0);
            break;
        }
        case FieldKind::Text: {
            value = column(i + 1, table.textsOf(i));
            if (value.isValid() && value.typeId() != QMetaType::QString)
                value = QVariant(value.toString());
            break;
        }
        default:
            value = column(i + 1);
        }
    }
    into.back() = QVariant(columnInt(fieldCount + 1));
}

}  // namespace data
