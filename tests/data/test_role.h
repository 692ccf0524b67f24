#pragma once

// A login role of the test's own on the test server, with the grants the
// test gives it, dropped (with whatever it owns) when the test ends.
#include "data/server/pg_session.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QString>

#include <memory>

class TestRole {
public:
    // `uri` names a database of the test; `name` is made unique to this
    // program, since roles belong to the whole server.
    TestRole(const QString& uri, const QString& name)
        : admin_(data::pg::Session::connect(uri, QStringLiteral("管理"))),
          name_(QStringLiteral("%1_%2").arg(name).arg(QCoreApplication::applicationPid())), uri_(uri) {
        admin_->exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(name_));
        admin_->exec(QStringLiteral("CREATE ROLE %1 LOGIN").arg(name_));
        uri_.replace(QRegularExpression(QStringLiteral("([?&])user=[^&]*")), QStringLiteral("\\1user=") + name_);
        if (!uri_.contains(QStringLiteral("user=") + name_))
            uri_ += (uri_.contains(QLatin1Char('?')) ? QStringLiteral("&user=") : QStringLiteral("?user=")) + name_;
    }
    ~TestRole() {
        try {
            admin_->exec(QStringLiteral("DROP OWNED BY %1").arg(name_));
            admin_->exec(QStringLiteral("DROP ROLE %1").arg(name_));
        } catch (...) {
        }
    }
    TestRole(const TestRole&) = delete;
    TestRole& operator=(const TestRole&) = delete;

    // Runs statements as the owner, "%1" standing for the role.
    void grant(std::initializer_list<const char*> statements) {
        for (const char* statement : statements)
            admin_->exec(QString::fromLatin1(statement).arg(name_));
    }
    // The database's URI, logging in as the role.
    const QString& uri() const { return uri_; }

private:
    std::unique_ptr<data::pg::Session> admin_;
    QString name_;
    QString uri_;
};
