#pragma once

#include "spreadsheet/libreoffice.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// One headless office for the whole test program, on the program's own test
// pipe with a profile in a temporary folder (the office defaults of a test
// program, see tests/test_office.cpp); stopped by its process id at the end.
class OfficeEnvironment {
public:
    static spreadsheet::OfficeOptions options();
    // A folder for files the tests write, removed at the end.
    static QString scratchPath(const QString& fileName);
    // Options for an office of a test's own (own pipe, own profile).
    static spreadsheet::OfficeOptions privateOptions(const QString& tag);
    static qint64 officeProcessId();
};

// Stops, by process id, an office a test started, when the test ends.
class StartedOffice {
public:
    explicit StartedOffice(qint64 pid = 0) : pid_(pid) {}
    ~StartedOffice();
    void track(qint64 pid) { if (pid) pid_ = pid; }
    StartedOffice(const StartedOffice&) = delete;
    StartedOffice& operator=(const StartedOffice&) = delete;

private:
    qint64 pid_;
};
