#include "spreadsheet/office_connection.h"

#include "platform/process.h"

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QThread>
#include <QUrl>

namespace spreadsheet::uno {

namespace {
// soffice.bin ends itself with this code after preparing a new profile and
// expects to be started again.
constexpr int restartsAllowed = 3;
} // namespace

OfficeConnection::OfficeConnection(OfficeOptions options)
    : options_(std::move(options))
{
}

void OfficeConnection::disconnect()
{
    desktop_.clear();
    remote_.clear();
}

bool OfficeConnection::answers()
{
    if (!desktop_.is())
        return false;
    try {
        // One round trip: fails at once when the office or the pipe is gone.
        remote_->getServiceManager();
        return true;
    } catch (const css::uno::RuntimeException&) {
        disconnect();
        return false;
    }
}

bool OfficeConnection::tryResolve()
{
    const Reference<css::uno::XComponentContext> local = localContext();
    try {
        const Reference<css::bridge::XUnoUrlResolver> resolver = css::bridge::UnoUrlResolver::create(local);
        const QString url = QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(options_.pipeName);
        Reference<css::uno::XComponentContext> remote(resolver->resolve(toOU(url)), UNO_QUERY);
        if (!remote.is())
            return false;
        Reference<css::frame::XDesktop2> desktop = css::frame::Desktop::create(remote);
        remote_ = remote;
        desktop_ = desktop;
        ++generation_;
        return true;
    } catch (const css::connection::NoConnectException&) {
        return false;
    } catch (const css::uno::RuntimeException&) {
        // The office is still coming up (or going down).
        return false;
    } catch (const css::uno::Exception& e) {
        throwError(QStringLiteral("Connecting to LibreOffice failed"), e);
    }
}

QString OfficeConnection::officeProgram() const
{
    if (!options_.officeProgram.isEmpty())
        return options_.officeProgram;
    return QStringLiteral(LIBREOFFICE_PROGRAM_DIR "/soffice.bin");
}

void OfficeConnection::startOffice()
{
    QStringList args{QStringLiteral("--invisible"), QStringLiteral("--nologo"), QStringLiteral("--norestore"),
                     QStringLiteral("--nodefault"), QStringLiteral("--nolockcheck"),
                     QStringLiteral("--accept=pipe,name=%1;urp;").arg(options_.pipeName)};
    if (options_.headless)
        args.prepend(QStringLiteral("--headless"));
    if (!options_.profileDir.isEmpty()) {
        QDir().mkpath(options_.profileDir);
        const QString url = QUrl::fromLocalFile(QDir(options_.profileDir).absolutePath()).toString();
        args.append(QStringLiteral("-env:UserInstallation=%1").arg(url));
    }
    QProcess process;
    process.setProgram(officeProgram());
    process.setArguments(args);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        throw Error(QStringLiteral("LibreOffice could not be started (%1)").arg(officeProgram()));
    startedPid_ = pid;
}

Reference<css::frame::XDesktop2> OfficeConnection::desktop()
{
    if (answers())
        return desktop_;
    if (!platform::isProcessRunning(startedPid_))
        startedPid_ = 0;
    // An office started earlier (by this object or an earlier run) that
    // still listens on our pipe is used as it is.
    if (tryResolve())
        return desktop_;

    startOffice();
    int restarts = 0;
    QDeadlineTimer deadline(options_.startTimeoutMs);
    while (!deadline.hasExpired()) {
        QThread::msleep(200);
        if (tryResolve())
            return desktop_;
        if (!platform::isProcessRunning(startedPid_)) {
            if (++restarts > restartsAllowed)
                break;
            startOffice();
        }
    }
    throw Error(QStringLiteral("LibreOffice did not answer on pipe \"%1\" within %2 s")
                    .arg(options_.pipeName)
                    .arg(options_.startTimeoutMs / 1000));
}

Reference<css::uno::XComponentContext> OfficeConnection::remoteContext()
{
    desktop();
    return remote_;
}

} // namespace spreadsheet::uno
