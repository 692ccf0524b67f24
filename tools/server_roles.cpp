#include "server_roles.h"

#include "data/engine/open_store.h"
#include "data/server/pg_session.h"
#include "platform/password_prompt.h"
#include "window_kit/fault_texts.h"

namespace {

const QString SetupCommand = QStringLiteral("server-setup");
const QString AddCommand = QStringLiteral("add-desk");
const QString RemoveCommand = QStringLiteral("remove-desk");

int usage(QTextStream& err, const data::pg::RoleNames& names) {
    err << QStringLiteral("用法：tavrel-tables server-setup 服务器地址\n"
                          "      tavrel-tables add-desk 服务器地址 账号名 --role %1|%2|%3\n"
                          "      tavrel-tables remove-desk 服务器地址 账号名\n"
                          "服务器地址例如 postgresql://管理账号@服务器/shoes；密码写在 ~/.pgpass 中，不写在地址里。\n")
               .arg(names.models, names.orders, names.readOnly)
        << Qt::flush;
    return 2;
}

// The fault in Chinese, and that nothing of the command was kept: each
// command runs in one transaction.
int failed(const data::EngineError& error, QTextStream& err, const QString& unchanged) {
    if (dynamic_cast<const data::pg::RolesRefused*>(&error))
        err << error.message() << "\n";
    else
        err << kit::faultReport(error).text << "\n";
    err << unchanged << "\n" << Qt::flush;
    return 1;
}

int setUp(const QString& uri, QTextStream& out, QTextStream& err, const data::pg::RoleNames& names) {
    try {
        data::pg::setUpServer(uri, names);
    } catch (const data::EngineError& e) {
        return failed(e, err, QStringLiteral("服务器上的账号、权限和数据表都没有改变。"));
    }
    out << QStringLiteral("服务器已设置好：数据表和撤销记录归账号“%1”所有（它不能登录）；"
                          "“%2”组可以修改鞋底型号表，“%3”组可以修改订单表和鞋底统计表，“%4”组只能查看。\n"
                          "请用 tavrel-tables add-desk 为每台电脑建立账号。\n")
               .arg(names.owner, names.models, names.orders, names.readOnly)
        << Qt::flush;
    return 0;
}

int addDesk(const QStringList& args, QTextStream& out, QTextStream& err, const data::pg::RoleNames& names) {
    const int at = int(args.indexOf(QStringLiteral("--role")));
    if (args.size() != 5 || at != 3)
        return usage(err, names);
    const QString& desk = args[2];
    const std::optional<data::pg::DeskGroup> group = names.groupNamed(args[4]);
    if (!group)
        return usage(err, names);
    const QString unchanged = QStringLiteral("没有建立账号“%1”。").arg(desk);
    const QString password = platform::readPasswordWithoutEcho(QStringLiteral("账号“%1”的密码：").arg(desk));
    if (password.isEmpty()) {
        err << QStringLiteral("没有输入密码。") << "\n" << unchanged << "\n" << Qt::flush;
        return 1;
    }
    if (platform::readPasswordWithoutEcho(QStringLiteral("再输入一次：")) != password) {
        err << QStringLiteral("两次输入的密码不一样。") << "\n" << unchanged << "\n" << Qt::flush;
        return 1;
    }
    try {
        auto admin = data::pg::Session::connect(args[1], QStringLiteral("add-desk"));
        data::pg::addDesk(*admin, names, desk, *group, password);
    } catch (const data::EngineError& e) {
        return failed(e, err, unchanged);
    }
    out << QStringLiteral("已建立“%1”组中的账号“%2”。请在那台电脑的 ~/.pgpass 中写上它的密码。").arg(args[4], desk) << "\n"
        << Qt::flush;
    return 0;
}

int removeDesk(const QStringList& args, QTextStream& out, QTextStream& err, const data::pg::RoleNames& names) {
    if (args.size() != 3)
        return usage(err, names);
    try {
        auto admin = data::pg::Session::connect(args[1], QStringLiteral("remove-desk"));
        data::pg::removeDesk(*admin, names, args[2]);
    } catch (const data::EngineError& e) {
        return failed(e, err, QStringLiteral("账号“%1”没有删除。").arg(args[2]));
    }
    out << QStringLiteral("已删除账号“%1”：那台电脑不能再登录数据库服务器。").arg(args[2]) << "\n" << Qt::flush;
    return 0;
}

}  // namespace

bool isServerRolesCommand(const QString& command) {
    return command == SetupCommand || command == AddCommand || command == RemoveCommand;
}

int runServerRolesCommand(const QStringList& args, QTextStream& out, QTextStream& err, const data::pg::RoleNames& names) {
    if (args.size() < 2 || !data::isServerLocation(args[1]))
        return usage(err, names);
    if (args[0] == SetupCommand)
        return args.size() == 2 ? setUp(args[1], out, err, names) : usage(err, names);
    if (args[0] == AddCommand)
        return addDesk(args, out, err, names);
    if (args[0] == RemoveCommand)
        return removeDesk(args, out, err, names);
    return usage(err, names);
}
