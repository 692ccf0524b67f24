// Time to write and read back 10,000 rows × 22 columns through the spreadsheet
// layer, first with the office still to be started, then with it running.

#include "platform/process.h"
#include "spreadsheet/libreoffice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int rows = 10000;
constexpr int columns = 22;

struct Timing {
    double connectMs = 0;
    double writeMs = 0;
    double readMs = 0;
};

Timing run(const spreadsheet::OfficeOptions& options, qint64* startedPid)
{
    Timing timing;
    QElapsedTimer clock;
    auto app = spreadsheet::createLibreOfficeApplication(options);
    app->setSheetsInNewWorkbook(1);

    clock.start();
    auto sheet = app->addWorkbook()->sheet(1);
    timing.connectMs = clock.nsecsElapsed() / 1e6;
    if (startedPid && app->officeProcessId())
        *startedPid = app->officeProcessId();

    clock.restart();
    for (int r = 1; r <= rows; ++r) {
        sheet->setCellText(r, 1, QStringLiteral("B%1").arg(r));
        sheet->setCellText(r, 2, QStringLiteral("XD-0805"));
        sheet->setCellText(r, 3, QStringLiteral("黑色"));
        for (int c = 4; c <= columns - 1; ++c)
            sheet->setCellNumber(r, c, (r + c) % 40);
        sheet->setCellText(r, columns, QStringLiteral("备注"));
    }
    sheet->flush();
    timing.writeMs = clock.nsecsElapsed() / 1e6;

    clock.restart();
    sheet->refresh();
    qsizetype characters = 0;
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= columns; ++c)
            characters += sheet->cellText(r, c).size();
    timing.readMs = clock.nsecsElapsed() / 1e6;
    if (characters == 0)
        std::printf("unexpected: nothing read\n");

    app->quit();
    return timing;
}

void print(const char* label, const Timing& t)
{
    std::printf("%-28s connect+new workbook %8.1f ms   write %8.1f ms   read %8.1f ms\n", label, t.connectMs,
                t.writeMs, t.readMs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication qapp(argc, argv);
    QTemporaryDir folder;
    spreadsheet::OfficeOptions options;
    options.pipeName = QStringLiteral("tavrel_bench_%1").arg(QCoreApplication::applicationPid());
    options.profileDir = folder.filePath(QStringLiteral("profile"));
    options.headless = true;
    options.startTimeoutMs = 60000;

    std::printf("%d rows x %d columns\n", rows, columns);
    qint64 firstPid = 0;
    qint64 pid = 0;
    int status = 0;
    try {
        // Starts its own office and ends it again when it quits.
        print("office not running:", run(options, &firstPid));
        // This one keeps the office running while the timed runs attach to it.
        auto keeper = spreadsheet::createLibreOfficeApplication(options);
        keeper->addWorkbook();
        pid = keeper->officeProcessId();
        print("office running:", run(options, nullptr));
        print("office running (again):", run(options, nullptr));
        keeper->quit();
    } catch (const spreadsheet::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        status = 1;
    }
    if (firstPid)
        platform::terminateProcess(firstPid);
    if (pid)
        platform::terminateProcess(pid);
    return status;
}
