#pragma once

namespace platform {

// Shows the busy (hourglass) cursor while it lives; the normal cursor comes
// back on every way out of the scope, exceptions included.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    // Restores the normal cursor before the end of the scope.
    void restore();

private:
    bool active_ = true;
};

}  // namespace platform
