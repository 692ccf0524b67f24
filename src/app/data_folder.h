#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>

namespace paradox {
struct ImportSummary;
}

namespace app {

// What start-up finds in the data folder before it opens the tables.
struct DataFolderState {
    QStringList paradoxTables;  // files named as our tables that hold old Paradox tables
    QStringList missingTables;  // our tables' file names not found at all
};

DataFolderState examineDataFolder(const QString& folder);

// The folder the factory's old Paradox tables are brought into, inside the
// folder that holds them.
QString importedDataFolder(const QString& paradoxFolder);

// The Paradox import's report, in Chinese.
QString importReportText(const paradox::ImportSummary& summary, const QString& dataFolder);

// A plain window showing the import's report; it stays open beside the main
// window until the clerk closes it.
std::unique_ptr<QWidget> makeReportWindow(const QString& text);

// Readies the data folder before the tables are opened, asking the clerk:
// old Paradox tables are brought over into importedDataFolder() (the report
// shown in *reportWindow), missing tables are created empty. Returns the
// folder to open the tables in, or nothing when the clerk chose to stop or
// the folder cannot be readied (said already). Given a server's URI in place
// of the folder, missing tables are offered for creation on the server.
std::optional<QString> readyDataFolder(const QString& folder, std::unique_ptr<QWidget>* reportWindow);

}  // namespace app
