#pragma once

#include "dbui/follow_timer.h"

#include <algorithm>
#include <vector>

// Follow timers on a clock the test moves: while one lives, every timer made
// through dbui::makeFollowTimer() fires only inside advance(), when as much
// time as its interval has passed since it was started.
class SteppedTimers {
public:
    SteppedTimers() {
        previous_ = dbui::setFollowTimerFactory([this](int intervalMs, std::function<void()> timeout) {
            return std::make_unique<Timer>(*this, intervalMs, std::move(timeout));
        });
    }
    ~SteppedTimers() { dbui::setFollowTimerFactory(previous_); }
    SteppedTimers(const SteppedTimers&) = delete;
    SteppedTimers& operator=(const SteppedTimers&) = delete;

    // Moves the clock on and fires the timers that fall due, in the order started.
    void advance(int ms) {
        now_ += ms;
        std::vector<Timer*> due;
        for (Timer* t : timers_)
            if (t->active && t->startedAt + t->interval <= now_)
                due.push_back(t);
        std::sort(due.begin(), due.end(), [](Timer* a, Timer* b) { return a->startedAt < b->startedAt; });
        for (Timer* t : due)
            if (std::find(timers_.begin(), timers_.end(), t) != timers_.end() && t->active) {
                t->active = false;
                ++fired;
                t->timeout();
            }
    }

    int fired = 0;

private:
    struct Timer : dbui::FollowTimer {
        Timer(SteppedTimers& owner, int intervalMs, std::function<void()> onTimeout)
            : clock(owner), interval(intervalMs), timeout(std::move(onTimeout)) {
            clock.timers_.push_back(this);
        }
        ~Timer() override { std::erase(clock.timers_, this); }
        void start() override {
            active = true;
            startedAt = clock.now_;
        }
        void stop() override { active = false; }
        bool isActive() const override { return active; }

        SteppedTimers& clock;
        int interval;
        std::function<void()> timeout;
        bool active = false;
        long long startedAt = 0;
    };

    std::vector<Timer*> timers_;
    long long now_ = 0;
    dbui::FollowTimerFactory previous_;
};
