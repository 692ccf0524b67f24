#pragma once

#include <QString>

// A private PostgreSQL server in a new folder under the temporary folder,
// started and stopped by scripts/lib/private_pg.sh: for a test program run by
// hand and for the benchmarks. It listens only on 127.0.0.1 and a socket in
// its folder, on a port that was free. The object stops the server it
// started, by its pid, and removes the folder when it ends, at the latest.
class PrivatePgServer {
public:
    // Tests run with fsync as the fixture's server does; a benchmark may
    // leave the disk out with TAVREL_PG_FSYNC=off in its environment.
    enum class Fsync { On, AsEnvironmentSays };

    PrivatePgServer() = default;
    ~PrivatePgServer() { stop(); }
    PrivatePgServer(const PrivatePgServer&) = delete;
    PrivatePgServer& operator=(const PrivatePgServer&) = delete;

    // Starts the server and waits until it accepts connections. Throws
    // std::runtime_error with the script's account when it does not start.
    void start(Fsync fsync = Fsync::On);

    // Stops the server with a fast shutdown (its sessions are ended, what
    // was committed is kept) and starts it again on the same cluster and
    // port, so that its URI stays valid. Throws std::runtime_error with the
    // script's account when it does not come back.
    void restart();

    // Stops the server this object started and removes its folder; nothing
    // when none runs. Safe while the program ends (no Qt needed).
    void stop() noexcept;

    bool running() const { return !dir_.isEmpty(); }
    // URI of the server's empty database "tavrel" (superuser tavrel-test).
    QString uri() const { return uri_; }
    qint64 pid() const { return pid_; }

private:
    QString dir_;
    QString uri_;
    qint64 pid_ = 0;
};
