#include "spreadsheet/office_connection.h"

#include "platform/process.h"

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/Connector.hpp>
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
    link_.reset();
    desktop_.clear();
    remote_.clear();
}

bool OfficeConnection::answers()
{
    if (!desktop_.is() || !link_ || link_->isCut()) {
        disconnect();
        return false;
    }
    try {
        // One round trip: fails at once when the office or the pipe is gone.
        link_->call(Error::Operation::Connect, QStringLiteral("Reaching LibreOffice failed"),
                    [&] { remote_->getServiceManager(); });
        return true;
    } catch (const Error&) {
        disconnect();
        return false;
    }
}

bool OfficeConnection::tryResolve()
{
    const Reference<css::uno::XComponentContext> local = localContext();
    const QString what = QStringLiteral("Connecting to LibreOffice failed");
    // The office that answers is the one listening on the pipe, which need
    // not be the process this object started (see adoptAnsweringOffice).
    const qint64 owner = pipeOwner();
    std::shared_ptr<OfficeLink> link;
    try {
        const Reference<css::connection::XConnector> connector = css::connection::Connector::create(local);
        const Reference<css::connection::XConnection> connection =
            connector->connect(toOU(QStringLiteral("pipe,name=%1").arg(options_.pipeName)));
        const Reference<css::bridge::XBridge> bridge =
            css::bridge::BridgeFactory::create(local)->createBridge(OUString(), "urp", connection, nullptr);
        link = std::make_shared<OfficeLink>(connection, Reference<css::lang::XComponent>(bridge, UNO_QUERY_THROW),
                                            owner != 0 ? owner : startedPid_, options_.callTimeoutMs,
                                            options_.documentTimeoutMs);
        Reference<css::uno::XComponentContext> remote;
        Reference<css::frame::XDesktop2> desktop;
        link->call(Error::Operation::Connect, what, [&] {
            remote.set(bridge->getInstance("StarOffice.ComponentContext"), UNO_QUERY);
            if (remote.is())
                desktop = css::frame::Desktop::create(remote);
        });
        if (!desktop.is())
            return false;
        link_ = link;
        remote_ = remote;
        desktop_ = desktop;
        ++generation_;
        adoptAnsweringOffice(owner);
        return true;
    } catch (const css::connection::NoConnectException&) {
        return false;
    } catch (const css::uno::RuntimeException&) {
        // The office is still coming up (or going down).
        return false;
    } catch (const css::uno::Exception& e) {
        throwError(Error::Operation::Connect, what, e);
    } catch (const Error& e) {
        // An office that does not answer in time cannot be used; one that
        // refuses is still starting.
        if (link && link->isCut())
            throw Error(e.message(), Error::Operation::Connect);
        return false;
    }
}

void OfficeConnection::adoptAnsweringOffice(qint64 owner)
{
    // An office started with the profile of an office already running hands
    // its command line, the pipe included, to that one and ends. The office
    // that answers then belongs to whoever started it: it is never ended
    // through this object.
    if (owner != 0 && owner != startedPid_)
        startedPid_ = 0;
}

bool OfficeConnection::someoneListens() const
{
    return platform::isProcessRunning(pipeOwner());
}

qint64 OfficeConnection::pipeOwner() const
{
    // Where the office's runtime keeps a named pipe on Unix. Only an office
    // started by this program (in this run or an earlier one) listens on our
    // pipe name. Where the owner cannot be told, a hung office is only let go.
    return platform::localSocketOwner(
        QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(platform::userNumber()).arg(options_.pipeName));
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
    // The office's menus and dialogs in Chinese whatever the desktop's
    // language (a language chosen in the office's own settings still wins):
    // the office takes its user interface language from the messages
    // category, which LC_ALL would override.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LC_ALL"));
    environment.insert(QStringLiteral("LC_MESSAGES"), QStringLiteral("zh_CN.UTF-8"));
    environment.insert(QStringLiteral("LANGUAGE"), QStringLiteral("zh_CN"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProgram(officeProgram());
    process.setArguments(args);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        throw Error(QStringLiteral("LibreOffice could not be started (%1)").arg(officeProgram()),
                    Error::Operation::Connect);
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

    // An office that listens on the pipe but refused just now (it is still
    // coming up, or this process was letting go of another connection to it)
    // is waited for; a second office is started only when none listens.
    if (!someoneListens())
        startOffice();
    int restarts = 0;
    QDeadlineTimer deadline(options_.startTimeoutMs);
    while (!deadline.hasExpired()) {
        QThread::msleep(200);
        if (tryResolve())
            return desktop_;
        if (platform::isProcessRunning(startedPid_) || someoneListens())
            continue;
        if (++restarts > restartsAllowed)
            break;
        startOffice();
    }
    throw Error(QStringLiteral("LibreOffice did not answer on pipe \"%1\" within %2 s")
                    .arg(options_.pipeName)
                    .arg(options_.startTimeoutMs / 1000),
                Error::Operation::Connect);
}

Reference<css::frame::XDesktop2> OfficeConnection::answeringDesktop()
{
    return answers() ? desktop_ : nullptr;
}

Reference<css::uno::XComponentContext> OfficeConnection::remoteContext()
{
    desktop();
    return remote_;
}

} // namespace spreadsheet::uno
