#include "dbui/follow_timer.h"

#include <QTimer>

namespace dbui {

namespace {

class QtFollowTimer : public FollowTimer {
public:
    QtFollowTimer(int intervalMs, std::function<void()> timeout) {
        timer_.setSingleShot(true);
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, std::move(timeout));
    }
    void start() override { timer_.start(); }
    void stop() override { timer_.stop(); }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

FollowTimerFactory& installedFactory() {
    static FollowTimerFactory factory;
    return factory;
}

}  // namespace

std::unique_ptr<FollowTimer> makeFollowTimer(int intervalMs, std::function<void()> timeout) {
    if (installedFactory())
        return installedFactory()(intervalMs, std::move(timeout));
    return std::make_unique<QtFollowTimer>(intervalMs, std::move(timeout));
}

FollowTimerFactory setFollowTimerFactory(FollowTimerFactory factory) {
    return std::exchange(installedFactory(), std::move(factory));
}

}  // namespace dbui
