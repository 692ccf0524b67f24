#include "statistics/statistics_window.h"

// The export commands; they do nothing until the export is built.
void TAForm6TJ::ToolButton12Click() {}

void TAForm6TJ::ToolButton6Click() {}
