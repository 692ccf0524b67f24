#include "data/server/pg_roles.h"

#include "data/core/errors.h"
#include "data/core/schema.h"
#include "data/server/pg_connection.h"
#include "data/server/pg_schema.h"
#include "data/server/pg_session.h"
#include "data/server/undo_server.h"

#include <QUuid>

namespace data::pg {

namespace {

const QString Commands = QStringLiteral("tavrel_undo_commands");
// Rows as a command left them, kept at its seal: a row each (records of
// earlier releases) and a batch each.
const QStringList Kept{QStringLiteral("tavrel_undo_after"), QStringLiteral("tavrel_undo_after_batches")};

// The column naming the role of the desk that recorded a command.
const QString DeskRoleColumn = QStringLiteral("desk_role");

QString q(const QString& name) { return quotedIdentifier(name); }

// Whether the current role may add, change and delete rows of the table the
// expression names (text). Each right asked alone: asked together, the
// server says whether any one of them is held.
QString mayChange(const QString& table) {
    return QStringLiteral("(has_table_privilege(%1, 'INSERT') AND has_table_privilege(%1, 'UPDATE') AND "
                          "has_table_privilege(%1, 'DELETE'))")
        .arg(table);
}

QStringList column(Session& session, const QString& sql, const std::vector<QVariant>& params = {}) {
    QStringList values;
    for (const ResultRow& row : session.run(sql, params).rows)
        values << row.front().toString();
    return values;
}

bool roleExists(Session& session, const QString& role) {
    return !session.run(QStringLiteral("SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = ?"), {role}).rows.empty();
}

void createGroupRole(Session& session, const QString& role) {
    if (!roleExists(session, role))
        session.exec(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(q(role)));
}

// The undo journal's tables in the schema: the commands and the tables of
// their rows, every one keyed to a command by its column "command".
QStringList journalTables(Session& session) {
    return column(session, QStringLiteral("SELECT c.relname::text FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n "
                                          "ON n.oid = c.relnamespace WHERE n.nspname = current_schema() AND c.relkind = 'r' "
                                          "AND c.relname LIKE 'tavrel\\_undo\\_%' ORDER BY c.relname"));
}

QStringList programTables(Session& session) {
    QStringList tables;
    for (const TableDef* def : allTables())
        if (tableExists(session, def->sqlName))
            tables << def->sqlName;
    return tables;
}

bool hasColumn(Session& session, const QString& table, const QString& name) {
    return !session
                .run(QStringLiteral("SELECT 1 FROM pg_catalog.pg_attribute WHERE attrelid = to_regclass(?) AND attname = ? "
                                    "AND attnum > 0 AND NOT attisdropped"),
                     {q(table), name})
                .rows.empty();
}

// Tables, their sequences and the trigger function made by an earlier setup
// (under the role the desks logged in with) go to the owner.
void handOver(Session& session, const QString& owner, const QStringList& tables) {
    for (const QString& table : tables) {
        const bool owned = session
                               .run(QStringLiteral("SELECT 1 FROM pg_catalog.pg_class WHERE oid = to_regclass(?) "
                                                   "AND pg_get_userbyid(relowner) = ?"),
                                    {q(table), owner})
                               .rows.size() == 1;
        if (!owned)
            session.exec(QStringLiteral("ALTER TABLE %1 OWNER TO %2").arg(q(table), q(owner)));
    }
    const bool function = !session
                               .run(QStringLiteral("SELECT 1 FROM pg_catalog.pg_proc p JOIN pg_catalog.pg_namespace n ON n.oid = p.pronamespace "
                                                   "WHERE n.nspname = current_schema() AND p.proname = 'tavrel_notify_change' "
                                                   "AND pg_get_userbyid(p.proowner) <> ?"),
                                    {owner})
                               .rows.empty();
    if (function)
        session.exec(QStringLiteral("ALTER FUNCTION tavrel_notify_change() OWNER TO %1").arg(q(owner)));
}

void makeMissingTables(Session& session) {
    for (const TableDef* def : allTables())
        if (!tableExists(session, def->sqlName))
            for (const QString& statement : createTableStatements(*def))
                session.exec(statement);
    addDeskTokenColumns(session);
    leaveRoomInLoopTables(session);
}

// The journal as a desk makes it on first use, here made by the owner.
void makeJournal(const std::shared_ptr<PgConnection>& connection) {
    const OpenTables none = [](const QString& name) -> OpenTable& {
        throw EngineError(QStringLiteral("The undo journal asked for the table %1 while it was being set up.").arg(name));
    };
    openServerUndoJournal(connection, none);
    connection->session().exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN IF NOT EXISTS %2 name NOT NULL DEFAULT current_user")
                                   .arg(q(Commands), DeskRoleColumn));
}

QString sequenceOf(Session& session, const QString& table, const QString& column) {
    const ResultRow row = session.run(QStringLiteral("SELECT pg_get_serial_sequence(?, ?)"), {q(table), column}).rows.at(0);
    return row.front().toString();  // quoted by the server, schema and all
}

void grantOnTables(Session& session, const RoleNames& names, const QStringList& tables) {
    const QString everyGroup = QStringList{q(names.models), q(names.orders), q(names.readOnly)}.join(QStringLiteral(", "));
    for (const QString& table : tables) {
        session.exec(QStringLiteral("REVOKE ALL ON %1 FROM PUBLIC").arg(q(table)));
        session.exec(QStringLiteral("GRANT SELECT ON %1 TO %2").arg(q(table), everyGroup));
        const QString sequence = sequenceOf(session, table, QStringLiteral("rowid"));
        if (!sequence.isEmpty())
            session.exec(QStringLiteral("GRANT SELECT ON SEQUENCE %1 TO %2").arg(sequence, everyGroup));
    }
    for (const DeskGroup group : {DeskGroup::Models, DeskGroup::Orders})
        for (const QString& table : tablesChangedBy(group)) {
            if (!tables.contains(table))
                continue;
            session.exec(QStringLiteral("GRANT INSERT, UPDATE, DELETE ON %1 TO %2").arg(q(table), q(names.group(group))));
            const QString sequence = sequenceOf(session, table, QStringLiteral("rowid"));
            if (!sequence.isEmpty())
                session.exec(QStringLiteral("GRANT USAGE ON SEQUENCE %1 TO %2").arg(sequence, q(names.group(group))));
        }
}

void replacePolicy(Session& session, const QString& table, const QString& name, const QString& rest) {
    session.exec(QStringLiteral("DROP POLICY IF EXISTS %1 ON %2").arg(q(name), q(table)));
    session.exec(QStringLiteral("CREATE POLICY %1 ON %2 %3").arg(q(name), q(table), rest));
}

// Every group reads the journal; the two that change tables record
// commands. A command's role comes from the server (its default), never
// from the desk: the desks may write every column of a command but it and
// the id.
void guardJournal(Session& session, const RoleNames& names) {
    const QString writers = q(names.models) + QStringLiteral(", ") + q(names.orders);
    const QString everyGroup = writers + QStringLiteral(", ") + q(names.readOnly);
    const QStringList journal = journalTables(session);
    for (const QString& table : journal) {
        session.exec(QStringLiteral("REVOKE ALL ON %1 FROM PUBLIC").arg(q(table)));
        session.exec(QStringLiteral("GRANT SELECT ON %1 TO %2").arg(q(table), everyGroup));
        session.exec(QStringLiteral("ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(q(table)));
        replacePolicy(session, table, QStringLiteral("tavrel_read"), QStringLiteral("FOR SELECT USING (true)"));
        if (table == Commands)
            continue;
        session.exec(QStringLiteral("GRANT INSERT ON %1 TO %2").arg(q(table), writers));
        // Rows join a command while it runs: the images and parts only the
        // command's own role adds; the rows as it left them any desk that
        // seals it (one that ended during the command is sealed by another).
        QString check = QStringLiteral("EXISTS (SELECT 1 FROM %1 c WHERE c.id = %2.command AND NOT c.sealed%3)")
                            .arg(q(Commands), q(table),
                                 Kept.contains(table) ? QString() : QStringLiteral(" AND c.%1 = current_user").arg(DeskRoleColumn));
        if (hasColumn(session, table, QStringLiteral("table_name")))
            check += QStringLiteral(" AND ") + mayChange(q(table) + QStringLiteral(".table_name"));
        replacePolicy(session, table, QStringLiteral("tavrel_add"), QStringLiteral("FOR INSERT WITH CHECK (%1)").arg(check));
    }
    const QStringList columns = column(session, QStringLiteral("SELECT attname::text FROM pg_catalog.pg_attribute WHERE attrelid = to_regclass(?) "
                                                               "AND attnum > 0 AND NOT attisdropped AND attname NOT IN ('id', ?) ORDER BY attnum"),
                                       {q(Commands), DeskRoleColumn});
    QStringList quoted;
    for (const QString& name : columns)
        quoted << q(name);
    session.exec(QStringLiteral("GRANT INSERT (id, %1), UPDATE (%1), DELETE ON %2 TO %3").arg(quoted.join(QStringLiteral(", ")), q(Commands), writers));
    session.exec(QStringLiteral("GRANT USAGE ON SEQUENCE %1 TO %2").arg(sequenceOf(session, Commands, QStringLiteral("id")), writers));
    session.exec(QStringLiteral("GRANT SELECT ON SEQUENCE %1 TO %2").arg(sequenceOf(session, Commands, QStringLiteral("id")), everyGroup));
    replacePolicy(session, Commands, QStringLiteral("tavrel_add"),
                  QStringLiteral("FOR INSERT WITH CHECK (%1 = current_user)").arg(DeskRoleColumn));
    // Sealing and undoing a command write its tables: a desk whose role may
    // not change them all leaves the command alone.
    const QString allChangeable = QStringLiteral("NOT EXISTS (SELECT 1 FROM tavrel_undo_parts p WHERE p.command = %1.id AND NOT %2)")
                                      .arg(q(Commands), mayChange(QStringLiteral("p.table_name")));
    replacePolicy(session, Commands, QStringLiteral("tavrel_change"), QStringLiteral("FOR UPDATE USING (%1)").arg(allChangeable));
    replacePolicy(session, Commands, QStringLiteral("tavrel_remove"), QStringLiteral("FOR DELETE USING (%1)").arg(allChangeable));
}

// Runs statements with the user's text as bound settings of the
// transaction, which the block reads: the names and the password reach the
// server as parameters, the block quotes them as identifiers and literals.
void runWithSettings(Session& session, const std::vector<std::pair<QString, QString>>& settings, const QString& block) {
    for (const auto& [name, value] : settings)
        session.run(QStringLiteral("SELECT set_config(?, ?, true)"), {QStringLiteral("tavrel.") + name, value});
    session.exec(QStringLiteral("DO $tavrel$ BEGIN %1 END $tavrel$").arg(block));
}

template <class Work>
void inTransaction(Session& session, Work&& work) {
    session.exec(QStringLiteral("BEGIN"));
    try {
        work();
        session.exec(QStringLiteral("COMMIT"));
    } catch (...) {
        if (!session.isBroken()) {
            try {
                session.exec(QStringLiteral("ROLLBACK"));
            } catch (const EngineError&) {
                // Gone meanwhile: the server has rolled back.
            }
        }
        throw;
    }
}

void requireGroups(Session& session, const RoleNames& names) {
    for (const QString& group : {names.models, names.orders, names.readOnly})
        if (!roleExists(session, group))
            throw RolesRefused(QStringLiteral("数据库服务器上还没有账号组“%1”：请先运行 tavrel-tables server-setup。").arg(group));
}

}  // namespace

QString RoleNames::group(DeskGroup group) const {
    switch (group) {
    case DeskGroup::Models: return models;
    case DeskGroup::Orders: return orders;
    case DeskGroup::ReadOnly: return readOnly;
    }
    return readOnly;
}

std::optional<DeskGroup> RoleNames::groupNamed(const QString& name) const {
    for (const DeskGroup g : {DeskGroup::Models, DeskGroup::Orders, DeskGroup::ReadOnly})
        if (group(g) == name)
            return g;
    return std::nullopt;
}

QStringList tablesChangedBy(DeskGroup group) {
    switch (group) {
    case DeskGroup::Models: return {shoesTable().sqlName};
    case DeskGroup::Orders: return {ordersTable().sqlName, statisticsTable().sqlName};
    case DeskGroup::ReadOnly: return {};
    }
    return {};
}

void setUpServer(const QString& uri, const RoleNames& names) {
    auto connection = std::make_shared<PgConnection>(Session::connect(uri, QStringLiteral("server-setup")),
                                                     QStringLiteral("server-setup"),
                                                     QUuid::createUuid().toString(QUuid::WithoutBraces));
    Session& session = connection->session();
    inTransaction(session, [&] {
        // Two setups at once would both make the roles.
        session.run(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('tavrel server setup'))"));
        for (const QString& role : {names.owner, names.models, names.orders, names.readOnly})
            createGroupRole(session, role);
        session.exec(QStringLiteral("GRANT %1 TO CURRENT_USER").arg(q(names.owner)));
        const QString database = q(column(session, QStringLiteral("SELECT current_database()::text")).at(0));
        const QString schema = q(column(session, QStringLiteral("SELECT current_schema()::text")).at(0));
        const QString groups = QStringList{q(names.models), q(names.orders), q(names.readOnly)}.join(QStringLiteral(", "));
        session.exec(QStringLiteral("REVOKE ALL ON DATABASE %1 FROM PUBLIC").arg(database));
        session.exec(QStringLiteral("GRANT CONNECT ON DATABASE %1 TO %2").arg(database, groups));
        session.exec(QStringLiteral("REVOKE ALL ON SCHEMA %1 FROM PUBLIC").arg(schema));
        session.exec(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(schema, groups));
        session.exec(QStringLiteral("GRANT USAGE, CREATE ON SCHEMA %1 TO %2").arg(schema, q(names.owner)));
        handOver(session, names.owner, programTables(session) + journalTables(session));

        session.exec(QStringLiteral("SET LOCAL ROLE %1").arg(q(names.owner)));
        makeMissingTables(session);
        makeJournal(connection);
        grantOnTables(session, names, programTables(session));
        guardJournal(session, names);
        session.exec(QStringLiteral("RESET ROLE"));
    });
}

void addDesk(Session& admin, const RoleNames& names, const QString& desk, DeskGroup group, const QString& password) {
    if (desk.trimmed().isEmpty())
        throw RolesRefused(QStringLiteral("电脑的账号名不能是空的。"));
    // The server would cut a longer name short and the desk would log in
    // under another name than it was given.
    if (desk.toUtf8().size() > 63)
        throw RolesRefused(QStringLiteral("账号名“%1”太长：最多63个字节（21个汉字或63个字母）。").arg(desk));
    if (password.isEmpty())
        throw RolesRefused(QStringLiteral("密码不能是空的。"));
    requireGroups(admin, names);
    if (roleExists(admin, desk))
        throw RolesRefused(QStringLiteral("数据库服务器上已经有名为“%1”的账号，没有新建账号。").arg(desk));
    const QString secret = admin.encryptedPassword(desk, password);
    inTransaction(admin, [&] {
        runWithSettings(admin, {{QStringLiteral("desk"), desk}, {QStringLiteral("group"), names.group(group)}, {QStringLiteral("secret"), secret}},
                        QStringLiteral("EXECUTE format('CREATE ROLE %I LOGIN PASSWORD %L IN ROLE %I', current_setting('tavrel.desk'), "
                                       "current_setting('tavrel.secret'), current_setting('tavrel.group'));"));
    });
}

void removeDesk(Session& admin, const RoleNames& names, const QString& desk) {
    const bool isDesk = !admin
                             .run(QStringLiteral("SELECT 1 FROM pg_catalog.pg_roles r JOIN pg_catalog.pg_auth_members m ON m.member = r.oid "
                                                 "JOIN pg_catalog.pg_roles g ON g.oid = m.roleid WHERE r.rolname = ? AND r.rolcanlogin "
                                                 "AND g.rolname IN (?, ?, ?)"),
                                  {desk, names.models, names.orders, names.readOnly})
                             .rows.empty();
    if (!isDesk)
        throw RolesRefused(QStringLiteral("“%1”不是“%2”、“%3”或“%4”组中电脑的账号，没有删除任何账号。")
                              .arg(desk, names.models, names.orders, names.readOnly));
    inTransaction(admin, [&] {
        runWithSettings(admin, {{QStringLiteral("desk"), desk}},
                        QStringLiteral("EXECUTE format('DROP ROLE %I', current_setting('tavrel.desk'));"));
    });
}

bool mayChangeTable(Session& session, const QString& sqlName) {
    const Result r = session.run(QStringLiteral("SELECT %1 FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                                                "WHERE n.nspname = current_schema() AND c.relname = ? AND c.relkind IN ('r', 'p')")
                                     .arg(mayChange(QStringLiteral("c.oid"))),
                                 {sqlName});
    return r.rows.empty() || r.rows.front().front().toBool();
}

}  // namespace data::pg
