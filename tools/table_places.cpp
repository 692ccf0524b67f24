#include "table_places.h"

#include "data/engine.h"
#include "data/errors.h"
#include "data/pg_schema.h"
#include "data/pg_session.h"
#include "data/schema.h"
#include "data/table_files.h"

#include <QDir>
#include <QRegularExpression>

namespace {

std::unique_ptr<data::pg::Session> connectTo(const QString& uri) {
    return data::pg::Session::connect(uri, QStringLiteral("tavrel-tables"));
}

QString withoutPasswordParameter(QString query) {
    static const QRegularExpression password(QStringLiteral("(^|&)password=[^&]*"),
                                             QRegularExpression::CaseInsensitiveOption);
    query.remove(password);
    if (query.startsWith(QLatin1Char('&')))
        query.remove(0, 1);
    return query;
}

QString shownServer(const QString& uri) {
    const int schemeEnd = int(uri.indexOf(QLatin1String("://"))) + 3;
    int authorityEnd = int(uri.indexOf(QRegularExpression(QStringLiteral("[/?]")), schemeEnd));
    if (authorityEnd < 0)
        authorityEnd = int(uri.size());
    QString authority = uri.mid(schemeEnd, authorityEnd - schemeEnd);
    // The user part ends at the last "@" (an unencoded "@" may stand in a password).
    const int at = int(authority.lastIndexOf(QLatin1Char('@')));
    if (at >= 0) {
        const QString user = authority.left(at).section(QLatin1Char(':'), 0, 0);
        authority = (user.isEmpty() ? QString() : user + QLatin1Char('@')) + authority.mid(at + 1);
    }
    QString rest = uri.mid(authorityEnd);
    const int question = int(rest.indexOf(QLatin1Char('?')));
    if (question >= 0) {
        const QString query = withoutPasswordParameter(rest.mid(question + 1));
        rest = rest.left(question) + (query.isEmpty() ? QString() : QLatin1Char('?') + query);
    }
    return uri.left(schemeEnd) + authority + rest;
}

}  // namespace

QString shownPlace(const QString& location) {
    if (data::isServerLocation(location))
        return shownServer(location);
    return QDir::toNativeSeparators(QDir(location).absolutePath());
}

QStringList missingTables(const QString& location) {
    QStringList missing;
    if (data::isServerLocation(location)) {
        const std::unique_ptr<data::pg::Session> session = connectTo(location);
        for (const data::TableDef* table : data::allTables())
            if (!data::pg::tableExists(*session, table->sqlName))
                missing << table->fileName;
        return missing;
    }
    const data::Engine folder(location);
    for (const data::TableDef* table : data::allTables())
        if (folder.resolve(table->fileName).isEmpty())
            missing << table->fileName;
    return missing;
}

void createTables(const QString& location, const QStringList& fileNames) {
    std::vector<const data::TableDef*> tables;
    for (const data::TableDef* table : data::allTables())
        if (fileNames.contains(table->fileName, Qt::CaseInsensitive))
            tables.push_back(table);
    if (!data::isServerLocation(location)) {
        if (!QDir().mkpath(location))
            throw data::EngineError(QStringLiteral("Cannot create the folder \"%1\".").arg(location));
        for (const data::TableDef* table : tables)
            if (!data::Engine(location).resolve(table->fileName).isEmpty())
                throw data::EngineError(
                    QStringLiteral("Table \"%1\" already exists in %2; it is left as it is.").arg(table->fileName, shownPlace(location)));
        for (const data::TableDef* table : tables)
            data::createTableFile(location, *table);
        return;
    }
    const std::unique_ptr<data::pg::Session> session = connectTo(location);
    for (const data::TableDef* table : tables)
        if (data::pg::tableExists(*session, table->sqlName))
            throw data::EngineError(QStringLiteral("Table \"%1\" already exists on %2; it is left as it is.")
                                        .arg(table->fileName, shownPlace(location)));
    session->exec(QStringLiteral("BEGIN"));
    try {
        for (const data::TableDef* table : tables)
            for (const QString& statement : data::pg::createTableStatements(*table))
                session->exec(statement);
        session->exec(QStringLiteral("COMMIT"));
    } catch (const data::EngineError&) {
        try {
            session->exec(QStringLiteral("ROLLBACK"));
        } catch (const data::EngineError&) {
            // A session that is gone took its transaction with it.
        }
        throw;
    }
}

void createAllTables(const QString& location) {
    QStringList all;
    for (const data::TableDef* table : data::allTables())
        all << table->fileName;
    createTables(location, all);
}
