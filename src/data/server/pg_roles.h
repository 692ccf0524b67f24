#pragma once

#include "data/core/errors.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace data::pg {

class Session;

// A command about the desks' roles refused before it changed anything; its
// message is the Chinese text for the person who ran it.
class RolesRefused : public EngineError {
public:
    using EngineError::EngineError;
};

// The roles a factory's server gives its desks. An owner that cannot log in
// owns the tables, their sequences and triggers and the undo journal; each
// desk logs in under a role of its own, a member of one of three groups:
enum class DeskGroup {
    Models,    // "型号": changes the sole-model catalogue, reads the rest
    Orders,    // "订单": changes the orders and the statistics, reads the catalogue
    ReadOnly,  // "只读": reads everything
};

// The names of the roles. Roles belong to the whole server, not to one
// database: tests give them names of their own.
struct RoleNames {
    QString owner = QStringLiteral("tavrel_owner");
    QString models = QStringLiteral("型号");
    QString orders = QStringLiteral("订单");
    QString readOnly = QStringLiteral("只读");

    QString group(DeskGroup group) const;
    // The group named so ("订单"); none for any other name.
    std::optional<DeskGroup> groupNamed(const QString& name) const;
};

// The SQL names of the program's tables the group changes.
QStringList tablesChangedBy(DeskGroup group);

// Makes the owner and the three groups where they are missing, takes from
// PUBLIC what it holds on the database and the schema, creates the missing
// tables and the undo journal as the owner (handing the owner those made by
// earlier setups), and gives each group its rights on them. The journal's
// rows are guarded by row security: a desk adds rows only to its own command
// while it runs, of tables its role may change, changes or removes a command
// only when its role may change all the command's tables, and no desk
// rewrites a kept row. All in one transaction; run again, it changes
// nothing. `uri` logs in as a role that may create roles and owns the
// database. Throws EngineError.
void setUpServer(const QString& uri, const RoleNames& names);

// Makes the login role `desk` in the group, with the password (sent to the
// server encrypted). Throws EngineError; a desk of that name that exists
// already, or a server that was never set up, is refused with a Chinese text
// as its message.
void addDesk(Session& admin, const RoleNames& names, const QString& desk, DeskGroup group, const QString& password);

// Takes the login role `desk` away; refuses any role that is no desk of the
// three groups. Throws EngineError as addDesk does.
void removeDesk(Session& admin, const RoleNames& names, const QString& desk);

// Whether the desk's role may add, change and delete records of the table
// (SQL name): true for the owner and where nothing restricts it, and for a
// table that is not there (the program makes it, or says it is missing).
bool mayChangeTable(Session& session, const QString& sqlName);

}  // namespace data::pg
