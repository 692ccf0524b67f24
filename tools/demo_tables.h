#pragma once

#include <QString>

// Creates the three tables in a folder or on a server (see table_places.h),
// filled with a small, believable demo set:
// a catalogue of a few dozen shoe models and colours, and orders, some of
// whose models are missing from the catalogue, and the sole statistics of
// those orders (which gives every order its sole model and supplier).
void fillDemoTables(const QString& place);
