#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QString>
#include <memory>

namespace spreadsheet {

// How the LibreOffice Calc behind the spreadsheet layer is reached and started.
struct OfficeOptions {
    // Name of the pipe the office accepts connections on. The default is
    // unique to the user, so that a later run of the program finds the office
    // an earlier run started.
    QString pipeName = defaultPipeName();
    // Profile folder of an office started by the layer; empty for the user's
    // ordinary LibreOffice profile.
    QString profileDir = defaultProfileDir();
    // Start the office without any window at all (tests, benchmarks).
    bool headless = testOfficeSet();
    // How long to wait for a started office to answer.
    int startTimeoutMs = 30000;
    // How long any one call into the office may take. An office that does
    // not answer within it is let go (and ended when the layer started it):
    // a hung office, or one waiting on a dialog nobody sees.
    int callTimeoutMs = 30000;
    // How long loading or storing a whole workbook may take. A large
    // workbook on a busy machine takes far longer than any other call, and
    // so does the first workbook of a fresh office, which loads Calc itself.
    int documentTimeoutMs = 120000;
    // The office program; empty for soffice.bin in LibreOffice's program folder.
    QString officeProgram;

    // The defaults are the program's: its pipe (programPipeName()) and the
    // user's profile. A process that sets TAVREL_OFFICE_PIPE (the tests and
    // the test scripts do, the program never) gets an office of its own
    // instead: that pipe, the profile folder TAVREL_OFFICE_PROFILE (a folder
    // named after the pipe in the temporary folder when unset) and no
    // windows. It never reaches the office the clerk works in.
    static QString defaultPipeName();
    static QString defaultProfileDir();
    static bool testOfficeSet();
    // tavrel_calc_<user>: the pipe of the office the program leaves running.
    static QString programPipeName();
};

std::unique_ptr<Application> createLibreOfficeApplication(const OfficeOptions& options = {});

} // namespace spreadsheet
