#pragma once

namespace testsupport {

// Creates the QGuiApplication that pixmaps and icons need, once per test
// program; it stays until the program exits.
void ensureGuiApplication();

}  // namespace testsupport
