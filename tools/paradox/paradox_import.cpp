#include "paradox/paradox_import.h"

#include "catalogue/catalogue_posting.h"
#include "data/engine/engine.h"
#include "data/core/errors.h"
#include "data/engine/query.h"
#include "data/core/schema.h"
#include "data/engine/open_store.h"
#include "orders/order_messages.h"
#include "orders/order_posting.h"
#include "statistics/statistics_posting.h"
#include "paradox/code_page.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>
#include <optional>
#include <stdexcept>

namespace paradox {

namespace {

// The file in dir whose name equals fileName regardless of case, or an
// empty string.
QString findFile(const QString& dir, const QString& fileName) {
    const QString exact = QDir(dir).filePath(fileName);
    if (QFileInfo::exists(exact))
        return exact;
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    for (const QString& entry : entries)
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0)
            return QDir(dir).filePath(entry);
    return {};
}

QString memoFileName(const QString& tableFileName) {
    return QFileInfo(tableFileName).completeBaseName() + QStringLiteral(".mb");
}

QString kindName(data::FieldKind kind) {
    switch (kind) {
    case data::FieldKind::Text: return QStringLiteral("text");
    case data::FieldKind::Integer: return QStringLiteral("integer");
    case data::FieldKind::Boolean: return QStringLiteral("logical");
    }
    return {};
}

bool isTextType(ParadoxType type) {
    return type == ParadoxType::Alpha || type == ParadoxType::Memo || type == ParadoxType::FormattedMemo ||
           type == ParadoxType::Bcd;
}

bool isWholeType(ParadoxType type) {
    return type == ParadoxType::Short || type == ParadoxType::Long || type == ParadoxType::AutoIncrement;
}

bool isRealType(ParadoxType type) { return type == ParadoxType::Number || type == ParadoxType::Currency; }

// Whether a Paradox field of this type can fill a field of ours of this kind.
bool fits(ParadoxType type, data::FieldKind kind) {
    switch (kind) {
    case data::FieldKind::Text:
        return isTextType(type) || isWholeType(type) || isRealType(type) || type == ParadoxType::Logical;
    case data::FieldKind::Integer:
        return isTextType(type) || isWholeType(type) || isRealType(type);
    case data::FieldKind::Boolean:
        return type == ParadoxType::Logical || isWholeType(type) || type == ParadoxType::Alpha;
    }
    return false;
}

// Memo text keeps its lines; the line ends become the program's own, and
// the closing zero bytes some writers leave are dropped.
QString normalisedLines(QString text) {
    while (text.endsWith(QChar(0)))
        text.chop(1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// One field of ours and where its value comes from.
struct FieldSource {
    int queryIndex;
    int sourceIndex;  // -1: the Paradox table has no such field
    QString name;
};

// One Paradox table opened and matched against a table of ours.
struct SourceTable {
    const data::TableDef* def = nullptr;
    std::unique_ptr<ParadoxTable> table;
    std::unique_ptr<CodePage> codePage;
    std::vector<FieldSource> fields;
    QStringList notes;
    QStringList missingFields;
};

std::unique_ptr<CodePage> openCodePage(const ParadoxTable& table, const ImportOptions& options) {
    const QString encoding = options.encoding.isEmpty() ? encodingForCodePage(table.codePage()) : options.encoding;
    try {
        return std::make_unique<CodePage>(encoding);
    } catch (const std::invalid_argument&) {
        throw ImportError(QStringLiteral("%1: the character set \"%2\" (code page %3) is not known here; name one "
                                         "with --encoding.")
                              .arg(table.path(), encoding)
                              .arg(table.codePage()));
    }
}

SourceTable openSource(const QString& paradoxDir, const data::TableDef& def, const ImportOptions& options) {
    SourceTable source;
    source.def = &def;
    const QString path = findFile(paradoxDir, def.fileName);
    if (path.isEmpty())
        throw ImportError(QStringLiteral("%1: the table is missing.").arg(QDir(paradoxDir).filePath(def.fileName)));
    source.table = std::make_unique<ParadoxTable>(path);
    source.codePage = openCodePage(*source.table, options);

    QStringList sourceNames;
    for (const ParadoxField& f : source.table->fields())
        sourceNames << source.codePage->decode(f.name).value_or(QString::fromLatin1(f.name)).trimmed();

    for (int i = 0; i < int(def.fields.size()); ++i) {
        const data::FieldDef& ours = def.fields[i];
        int found = -1;
        for (int j = 0; j < sourceNames.size() && found < 0; ++j)
            if (sourceNames[j].compare(ours.name, Qt::CaseInsensitive) == 0)
                found = j;
        if (found < 0) {
            source.notes << QStringLiteral("the table has no field \"%1\"; it is left empty.").arg(ours.name);
            source.missingFields << ours.name;
        } else {
            const ParadoxType type = source.table->fields()[found].type;
            if (!fits(type, ours.kind))
                throw ImportError(QStringLiteral("%1: field \"%2\" is of Paradox type %3, which cannot hold a %4 value.")
                                      .arg(path, ours.name)
                                      .arg(int(type))
                                      .arg(kindName(ours.kind)));
        }
        source.fields.push_back({i, found, ours.name});
    }
    // pxlib reads every field of a record, so the memo file is needed as
    // soon as the table has memo fields, ours or not.
    if (source.table->hasMemoFields()) {
        const QString memoName = memoFileName(QFileInfo(path).fileName());
        const QString memo = findFile(QFileInfo(path).absolutePath(), memoName);
        if (memo.isEmpty())
            throw ImportError(
                QStringLiteral("%1: its memo file %2 is missing beside it.").arg(path, memoName.toUpper()));
        source.table->attachMemoFile(memo);
    }
    return source;
}

// The value a field of ours takes from a Paradox value; no value for a
// blank one. Throws std::invalid_argument when text does not decode.
QVariant convertValue(const ParadoxValue& value, ParadoxType type, CodePage& codePage) {
    if (value.isNull)
        return {};
    if (isWholeType(type))
        return QVariant(value.integer);
    if (isRealType(type))
        return QVariant(value.real);
    if (type == ParadoxType::Logical)
        return QVariant(value.integer != 0);
    const std::optional<QString> text = codePage.decode(value.bytes);
    if (!text)
        throw std::invalid_argument("undecodable text");
    if (type == ParadoxType::Memo || type == ParadoxType::FormattedMemo)
        return normalisedLines(*text);
    return *text;
}

QString duplicateReason(const data::TableDef& def) {
    if (&def == &data::ordersTable())
        return orders::duplicateBatchMessage();
    return QStringLiteral("型号颜色重复！");
}

QString keyText(data::Query& query, const data::TableDef& def) {
    QStringList parts;
    for (const QString& name : def.uniqueKey)
        parts << QStringLiteral("%1 \"%2\"").arg(name, query.field(name).asText());
    return parts.join(QStringLiteral(", "));
}

data::Query::BeforePostHook recordRule(const data::TableDef& def) {
    if (&def == &data::ordersTable())
        return orders::applyOrderPostingRule;
    if (&def == &data::shoesTable())
        return catalogue::applyCataloguePostingRule;
    return statistics::applyStatisticsPostingRule;
}

// Sets the pending record's fields from one Paradox record. Returns the
// name of a field whose text does not decode, or an empty string.
QString fillPending(SourceTable& source, const std::vector<ParadoxValue>& values, data::Query& query) {
    for (const FieldSource& f : source.fields) {
        if (f.sourceIndex < 0)
            continue;
        QVariant v;
        try {
            v = convertValue(values[f.sourceIndex], source.table->fields()[f.sourceIndex].type, *source.codePage);
        } catch (const std::invalid_argument&) {
            return f.name;
        }
        if (v.isValid())
            query.setValue(f.queryIndex, v);
    }
    return {};
}

void copyRecords(SourceTable& source, data::Query& query, TableSummary& summary) {
    query.setBeforePost(recordRule(*source.def));
    data::BusyScope busy(query);
    std::vector<ParadoxValue> values;
    const int count = source.table->recordCount();
    for (int recNo = 0; recNo < count; ++recNo) {
        ++summary.read;
        QString problem;
        if (!source.table->read(recNo, values, problem)) {
            ++summary.unreadable;
            summary.problems.push_back({recNo + 1, problem, true});
            continue;
        }
        query.append();
        try {
            const QString undecodable = fillPending(source, values, query);
            if (!undecodable.isEmpty()) {
                query.cancel();
                ++summary.unreadable;
                summary.problems.push_back(
                    {recNo + 1,
                     QStringLiteral("the text of \"%1\" is not valid %2.").arg(undecodable, source.codePage->name()),
                     true});
                continue;
            }
            query.post();
            ++summary.stored;
        } catch (const data::EngineError& error) {
            const QString reason = error.isKeyViolation()
                                       ? QStringLiteral("%1 (%2)").arg(duplicateReason(*source.def), keyText(query, *source.def))
                                       : error.message();
            query.cancel();
            ++summary.refused;
            summary.problems.push_back({recNo + 1, reason, false});
        }
    }
}

void refuseExistingTables(const QString& dataDir) {
    for (const data::TableDef* def : data::allTables()) {
        const QString existing = findFile(dataDir, def->fileName);
        if (!existing.isEmpty())
            throw ImportError(QStringLiteral("%1: the table already exists; existing tables are never overwritten, "
                                             "nothing was imported.")
                                  .arg(existing));
    }
}

// Moves the finished tables from the work folder into dataDir; on a
// failure the ones already moved go back, so dataDir is as it was.
void moveTables(const QString& workDir, const QString& dataDir) {
    QStringList moved;
    for (const data::TableDef* def : data::allTables()) {
        const QString from = QDir(workDir).filePath(def->fileName);
        const QString to = QDir(dataDir).filePath(def->fileName);
        if (!QFile::rename(from, to)) {
            for (const QString& name : moved)
                QFile::rename(QDir(dataDir).filePath(name), QDir(workDir).filePath(name));
            throw ImportError(QStringLiteral("%1: the table cannot be written.").arg(to));
        }
        moved << def->fileName;
    }
}

}  // namespace

bool ImportSummary::everythingStored() const {
    for (const TableSummary& t : tables)
        if (t.refused > 0 || t.unreadable > 0)
            return false;
    return true;
}

ImportSummary importParadoxTables(const QString& paradoxDir, const QString& dataDir, const ImportOptions& options) {
    refuseExistingTables(dataDir);
    std::vector<SourceTable> sources;
    for (const data::TableDef* def : data::allTables())
        sources.push_back(openSource(paradoxDir, *def, options));
    if (!QDir().mkpath(dataDir))
        throw ImportError(QStringLiteral("%1: the folder cannot be created.").arg(dataDir));

    QTemporaryDir work(QDir(dataDir).filePath(QStringLiteral(".tavrel-import-XXXXXX")));
    if (!work.isValid())
        throw ImportError(QStringLiteral("%1: no work folder can be made there.").arg(dataDir));

    ImportSummary summary;
    try {
        data::createTables(work.path());
        data::Engine engine(work.path());
        for (SourceTable& source : sources) {
            TableSummary table;
            table.fileName = source.def->fileName;
            table.notes = source.notes;
            table.missingFields = source.missingFields;
            data::Query query(engine);
            query.setSql(QStringLiteral("select * from ") + source.def->fileName);
            query.open();
            copyRecords(source, query, table);
            summary.tables.push_back(std::move(table));
        }
    } catch (const data::EngineError& error) {
        throw ImportError(QStringLiteral("%1: %2").arg(dataDir, error.message()));
    }
    refuseExistingTables(dataDir);
    moveTables(work.path(), dataDir);
    return summary;
}

}  // namespace paradox
