#pragma once

#include <functional>
#include <memory>

namespace dbui {

// The single-shot timer after which widgets catch up with a query that a
// bulk loop holds. Made through makeFollowTimer(), so that a test can put a
// timer it steps by hand in place of the event loop's clock.
class FollowTimer {
public:
    virtual ~FollowTimer() = default;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// Makes a timer that calls timeout once, intervalMs after each start().
using FollowTimerFactory = std::function<std::unique_ptr<FollowTimer>(int intervalMs, std::function<void()> timeout)>;

// A timer of the installed factory; a QTimer unless another one is installed.
std::unique_ptr<FollowTimer> makeFollowTimer(int intervalMs, std::function<void()> timeout);
// Installs a factory (an empty one: back to QTimer) and returns the one installed before.
FollowTimerFactory setFollowTimerFactory(FollowTimerFactory factory);

}  // namespace dbui
