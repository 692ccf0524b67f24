#pragma once

#include <QStringList>

namespace platform {

// Names of the printers installed on the system; empty when there are none.
QStringList installedPrinters();

}  // namespace platform
