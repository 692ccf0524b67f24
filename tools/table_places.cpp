#include "table_places.h"

#include "data/core/schema.h"
#include "data/engine/open_store.h"

#include <QDir>
#include <QRegularExpression>
#include <QUrl>

namespace {

// The query without its password, however its name is spelled: libpq reads
// "%70assword" as "password".
QString withoutPasswordParameter(const QString& query) {
    QStringList kept;
    for (const QString& part : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const QString name = QUrl::fromPercentEncoding(part.section(QLatin1Char('='), 0, 0).toUtf8());
        if (name.compare(QLatin1String("password"), Qt::CaseInsensitive) != 0)
            kept << part;
    }
    return kept.join(QLatin1Char('&'));
}

// Where a server URI's user part ("user:password@host") ends.
struct UriParts {
    int schemeEnd = 0;
    int authorityEnd = 0;
};
UriParts partsOf(const QString& uri) {
    UriParts parts;
    parts.schemeEnd = int(uri.indexOf(QLatin1String("://"))) + 3;
    parts.authorityEnd = int(uri.indexOf(QRegularExpression(QStringLiteral("[/?]")), parts.schemeEnd));
    if (parts.authorityEnd < 0)
        parts.authorityEnd = int(uri.size());
    return parts;
}

QString shownServer(const QString& uri) {
    const auto [schemeEnd, authorityEnd] = partsOf(uri);
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

bool passwordInPlace(const QString& location) {
    if (!data::isServerLocation(location))
        return false;
    const auto [schemeEnd, authorityEnd] = partsOf(location);
    const QString authority = location.mid(schemeEnd, authorityEnd - schemeEnd);
    const int at = int(authority.lastIndexOf(QLatin1Char('@')));
    if (at >= 0 && authority.left(at).contains(QLatin1Char(':')))
        return true;
    const int question = int(location.indexOf(QLatin1Char('?'), authorityEnd));
    if (question < 0)
        return false;
    const QString query = location.mid(question + 1);
    return withoutPasswordParameter(query) != query.split(QLatin1Char('&'), Qt::SkipEmptyParts).join(QLatin1Char('&'));
}

QString passwordInPlaceText() {
    return QStringLiteral(
        "数据位置中写了数据库的密码。写在命令行里的密码会出现在进程列表和命令记录中，所以程序不接受带密码的地址。\n"
        "请把密码写进这台电脑的密码文件，每行一个：主机:端口:数据库:用户名:密码。"
        "Linux上是主目录中的 .pgpass（~/.pgpass），权限必须是600（chmod 600 ~/.pgpass）；"
        "Windows上是 %APPDATA%\\postgresql\\pgpass.conf。\n"
        "然后去掉地址中的密码，再启动一次。没有连接服务器，没有读写任何数据。");
}

QString shownPlace(const QString& location) {
    if (data::isServerLocation(location))
        return shownServer(location);
    return QDir::toNativeSeparators(QDir(location).absolutePath());
}

QStringList missingTables(const QString& location) { return data::missingTables(location); }

void createTables(const QString& location, const QStringList& fileNames) {
    std::vector<const data::TableDef*> tables;
    for (const data::TableDef* table : data::allTables())
        if (fileNames.contains(table->fileName, Qt::CaseInsensitive))
            tables.push_back(table);
    data::createTables(location, tables);
}

void createAllTables(const QString& location) { data::createTables(location); }
