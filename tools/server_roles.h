#pragma once

#include "data/server/pg_roles.h"

#include <QStringList>
#include <QTextStream>

// The table tool's commands that give the desks of a PostgreSQL server roles
// that fit their work:
//
//   tavrel-tables server-setup URI
//   tavrel-tables add-desk URI NAME --role 型号|订单|只读
//   tavrel-tables remove-desk URI NAME
//
// The password of a new desk is asked twice on the terminal, without echo
// (platform::readPasswordWithoutEcho); it is never taken from the command
// line.

bool isServerRolesCommand(const QString& command);

// Runs the command args[0] with its arguments; returns the exit code. What
// was done, or what went wrong and what was left as it was, is told in
// Chinese on out and err.
int runServerRolesCommand(const QStringList& args, QTextStream& out, QTextStream& err,
                          const data::pg::RoleNames& names = {});
