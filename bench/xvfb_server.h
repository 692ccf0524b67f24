#pragma once

// A private X server for the benchmarks that time the windows as a person
// sees them: Xvfb on the first free display number, stopped by its own pid.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <functional>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>

namespace bench {

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer() { stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Starts the server; false (with the reason in error()) when there is no
    // Xvfb or it does not come up within ten seconds.
    bool start() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty()) {
            error_ = QStringLiteral("Xvfb is not installed");
            return false;
        }
        int number = 90;
        while (number < 400 && (QFileInfo::exists(socketPath(number)) ||
                                QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))))
            ++number;
        process_.setProgram(program);
        process_.setArguments({QStringLiteral(":%1").arg(number), QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("1600x1000x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                               // No reset when the last client leaves: one connecting meanwhile is dropped.
                               QStringLiteral("-noreset")});
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(5000)) {
            error_ = QStringLiteral("Xvfb did not start");
            return false;
        }
        QElapsedTimer clock;
        clock.start();
        while (!QFileInfo::exists(socketPath(number))) {
            if (clock.elapsed() > 10000 || process_.state() != QProcess::Running) {
                error_ = QStringLiteral("Xvfb did not open display :%1").arg(number);
                stop();
                return false;
            }
            QThread::msleep(20);
        }
        display_ = QStringLiteral(":%1").arg(number);
        return true;
    }

    // Ends the server this object started, and nothing else.
    void stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }

    QString display() const { return display_; }
    QString error() const { return error_; }

private:
    static QString socketPath(int number) { return QStringLiteral("/tmp/.X11-unix/X%1").arg(number); }

    QProcess process_;
    QString display_;
    QString error_;
};

// main() of a benchmark whose timed pass shows windows: started plainly, it
// starts a private X server and runs itself again with "--child" on it (the
// child's output is ours); with "--child" it runs the pass.
// `prepare` (when given) runs in the parent before the pass starts and may add
// to its environment; false ends the run.
inline int runVisibleBenchmark(int argc, char** argv, int (*runPass)(int, char**), int timeoutMinutes = 30,
                               const std::function<bool(QProcessEnvironment&)>& prepare = {}) {
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--child")
            return runPass(argc, argv);
    QCoreApplication core(argc, argv);
    XvfbServer xvfb;
    if (!xvfb.start()) {
        std::fprintf(stderr, "%s\n", xvfb.error().toUtf8().constData());
        return 1;
    }
    std::printf("X server: Xvfb on display %s\n", xvfb.display().toUtf8().constData());
    std::fflush(stdout);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), xvfb.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (prepare && !prepare(env)) {
        xvfb.stop();
        return 1;
    }
    QProcess pass;
    pass.setProcessEnvironment(env);
    pass.setProcessChannelMode(QProcess::ForwardedChannels);
    pass.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
    if (!pass.waitForFinished(timeoutMinutes * 60 * 1000)) {
        pass.kill();
        pass.waitForFinished();
    }
    xvfb.stop();
    return pass.exitStatus() == QProcess::NormalExit ? pass.exitCode() : 1;
}

}  // namespace bench
