#include "window_kit/app_resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void registerResourceData()
{
    Q_INIT_RESOURCE(resources);
}

namespace kit {

void initResources()
{
    // A function-local static runs the registration exactly once, also when
    // called from several places.
    static const bool registered = (registerResourceData(), true);
    (void)registered;
}

}  // namespace kit
