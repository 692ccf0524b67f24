// The order import as a clerk meets it: the real file dialog, which lists the
// data folder, and another program that reads the order table meanwhile.
// Listing the folder must not cost the program its locks on the tables, or
// that other program takes the table's log with it when it ends and the
// orders imported afterwards never reach the file.

#include "../spreadsheet/office_environment.h"
#include "orders/orders_window.h"
#include "platform/file_manager.h"
#include "platform/modal_dialogs.h"
#include "program_windows_fixture.h"
#include "spreadsheet/libreoffice.h"
#include "window_kit/status_panels.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Started again with this variable naming a table file, the test program is
// the other program: it counts the orders, prints the count and ends.
const char* const OtherProgramVariable = "TAVREL_TEST_COUNT_ORDERS_IN";

const bool actsAsOtherProgram = [] {
    const QByteArray path = qgetenv(OtherProgramVariable);
    if (path.isEmpty())
        return false;
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
    int count = -1;
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT count(*) FROM dd", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        count = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    std::printf("%d\n", count);
    std::fflush(stdout);
    std::_Exit(0);
}();

// The orders in dd.db as another program finds them.
int ordersSeenByAnotherProgram(const QString& table) {
    QProcess other;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(OtherProgramVariable), table);
    other.setProcessEnvironment(environment);
    other.start(QCoreApplication::applicationFilePath(), {});
    if (!other.waitForFinished(-1))
        return -2;
    return other.readAllStandardOutput().trimmed().toInt();
}

// The real file dialog, showing the data folder until it has listed it;
// then the workbook's name is typed in and the dialog accepted. Boxes are
// scripted.
class ListingFileDialog : public platform::ScriptedDialogs {
public:
    QString folder;
    QString workbook;

protected:
    QString showFileOpen(const platform::FileOpenRequest& request) override {
        const std::unique_ptr<QFileDialog> dialog = platform::ModalDialogs::makeFileDialog(request);
        auto* model = dialog->findChild<QFileSystemModel*>();
        QObject::connect(model, &QFileSystemModel::directoryLoaded, dialog.get(), [&](const QString& path) {
            if (QDir(path) != QDir(folder))
                return;
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(workbook);
            static_cast<QDialog*>(dialog.get())->accept();
        });
        dialog->setDirectory(folder);
        if (dialog->exec() != QDialog::Accepted)
            return {};
        return dialog->selectedFiles().value(0);
    }
};

class ImportAfterListing : public ProgramWindowsTest {
protected:
    void SetUp() override {
        ProgramWindowsTest::SetUp();
        registry().makeSpreadsheet = [] {
            return std::shared_ptr<spreadsheet::Application>(spreadsheet::createLibreOfficeApplication(OfficeEnvironment::options()));
        };
        orders = registry().ordersWindow;
        listing.folder = dir.path();
    }
    void TearDown() override {
        if (registry().spreadsheetApp)
            registry().spreadsheetApp->quit();
        ProgramWindowsTest::TearDown();
    }

    // A workbook of orders with these batch numbers, saved as .xls.
    QString makeWorkbook(const QString& name, const QStringList& batches) {
        auto maker = spreadsheet::createLibreOfficeApplication(OfficeEnvironment::options());
        auto book = maker->addWorkbook();
        auto sheet = book->sheet(1);
        sheet->setCellText(1, 1, QStringLiteral("批号"));
        for (int i = 0; i < batches.size(); ++i) {
            sheet->setCellText(i + 2, 1, batches[i]);
            sheet->setCellNumber(i + 2, 4, 2);
        }
        const QString path = programDir.filePath(name);
        book->saveAs(path);
        book->close();
        return path;
    }

    void import(const QString& workbook) {
        listing.workbook = workbook;
        orders->ToolButton12Click();
    }

    ListingFileDialog listing;
    platform::RecordingFileManager files;
    TaForm3DD* orders = nullptr;
};

TEST_F(ImportAfterListing, OrdersImportedAfterAnotherProgramReadTheTableReachTheFile) {
    const QString a = makeWorkbook(QStringLiteral("a.xls"), {QStringLiteral("A1"), QStringLiteral("A2")});
    const QString b = makeWorkbook(QStringLiteral("b.xls"), {QStringLiteral("B1"), QStringLiteral("B2"), QStringLiteral("B3")});
    const QString table = dir.filePath(QStringLiteral("dd.db"));

    import(a);
    EXPECT_TRUE(listing.messages().empty());
    EXPECT_EQ(ordersSeenByAnotherProgram(table), 2);

    // The same workbook again: the duplicate's two boxes, nothing added.
    import(a);
    EXPECT_EQ(listing.messageTexts().size(), 2);
    listing.clear();
    EXPECT_EQ(ordersSeenByAnotherProgram(table), 2);

    import(b);
    EXPECT_TRUE(listing.messages().empty()) << listing.messageTexts().join('|').toStdString();
    EXPECT_EQ(orders->sBar->panelText(2), QStringLiteral("在第一列第4行检测到空值，数据导入已结束！"));
    EXPECT_EQ(ordersSeenByAnotherProgram(table), 5);
    EXPECT_TRUE(QFile::exists(table + QStringLiteral("-wal")));

    // And a bulk command after it stores what it reports.
    orders->ToolButton11Click();  // 标为统计
    listing.clear();
    data::Query counted(*engine);
    counted.setSql(QStringLiteral("select * from dd.db where 已统计=true"));
    counted.open();
    EXPECT_EQ(counted.recordCount(), 5);
    EXPECT_EQ(ordersSeenByAnotherProgram(table), 5);
}

}  // namespace
