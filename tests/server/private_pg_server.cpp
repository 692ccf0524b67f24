#include "private_pg_server.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The script ends its own waits (a minute for the server to come up); this
// bound only catches a script that hangs for some other reason.
constexpr int StartBoundMs = 120'000;

QByteArray fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

}  // namespace

void PrivatePgServer::start(Fsync fsync) {
    if (running())
        return;
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tavrel-pg-XXXXXX"));
    if (!dir.isValid())
        throw std::runtime_error("cannot make a folder for the private PostgreSQL server: " +
                                 dir.errorString().toStdString());
    dir.setAutoRemove(false);
    dir_ = dir.path();

    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    if (fsync == Fsync::On) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("TAVREL_PG_FSYNC"));
        script.setProcessEnvironment(environment);
    }
    script.start(QStringLiteral("bash"), {QStringLiteral(TAVREL_PRIVATE_PG_SCRIPT), QStringLiteral("start"), dir_});
    const bool ended = script.waitForFinished(StartBoundMs);
    if (!ended) {
        script.kill();
        script.waitForFinished(-1);  // a killed script ends; this reaps it
    }
    const QString account = QString::fromLocal8Bit(script.readAll()).trimmed();
    if (!ended || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0) {
        stop();
        throw std::runtime_error(
            (QStringLiteral("the private PostgreSQL server did not start (%1): ")
                 .arg(ended ? QStringLiteral("exit status %1").arg(script.exitCode())
                            : QStringLiteral("no answer within %1 s").arg(StartBoundMs / 1000)) +
             account)
                .toStdString());
    }
    uri_ = QString::fromUtf8(fileText(dir_ + QStringLiteral("/uri")));
    pid_ = fileText(dir_ + QStringLiteral("/pid")).toLongLong();
    if (uri_.isEmpty() || pid_ <= 0) {
        stop();
        throw std::runtime_error(("the private PostgreSQL server left no URI or pid: " + account).toStdString());
    }
}

void PrivatePgServer::restart() {
    if (!running())
        throw std::runtime_error("no private PostgreSQL server runs to restart");
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral("bash"), {QStringLiteral(TAVREL_PRIVATE_PG_SCRIPT), QStringLiteral("restart"), dir_});
    const bool ended = script.waitForFinished(StartBoundMs);
    if (!ended) {
        script.kill();
        script.waitForFinished(-1);
    }
    const QString account = QString::fromLocal8Bit(script.readAll()).trimmed();
    if (!ended || script.exitStatus() != QProcess::NormalExit || script.exitCode() != 0)
        throw std::runtime_error(("the private PostgreSQL server did not restart: " + account).toStdString());
    pid_ = fileText(dir_ + QStringLiteral("/pid")).toLongLong();
}

void PrivatePgServer::stop() noexcept {
    if (!running())
        return;
    // posix_spawn rather than QProcess: this also runs from static objects'
    // destructors while the program ends.
    const QByteArray script = TAVREL_PRIVATE_PG_SCRIPT;
    const QByteArray dir = QFile::encodeName(dir_);
    char* argv[] = {const_cast<char*>("bash"), const_cast<char*>(script.constData()), const_cast<char*>("stop"),
                    const_cast<char*>("--remove"), const_cast<char*>(dir.constData()), nullptr};
    // Its account of a stop that went well stays out of the program's
    // output; a failing one goes to the error output.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    int status = -1;
    if (posix_spawnp(&child, "bash", &quiet, nullptr, argv, environ) == 0)
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    posix_spawn_file_actions_destroy(&quiet);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "the private PostgreSQL server in %s (pid %lld) may not have stopped\n",
                     dir.constData(), static_cast<long long>(pid_));
    dir_.clear();
    uri_.clear();
    pid_ = 0;
}
