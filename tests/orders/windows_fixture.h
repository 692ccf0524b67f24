#pragma once

#include "app/startup.h"
#include "data/engine.h"
#include "data/query.h"
#include "data/schema.h"
#include "data/table_files.h"
#include "dbui/db_grid.h"
#include "orders/order_entry_window.h"
#include "orders/orders_window.h"
#include "orders/search_window.h"
#include "platform/files.h"
#include "platform/scripted_dialogs.h"
#include "qt_printing.h"
#include "window_kit/fault_texts.h"
#include "window_kit/status_panels.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <memory>

// While it lives, the general error display speaks as the program does.
struct TranslatedFaults {
    TranslatedFaults() : previous(platform::setErrorTranslator(kit::faultReport)) {}
    ~TranslatedFaults() { platform::setErrorTranslator(previous); }
    platform::ErrorTranslator previous;
};

// The program's windows over real tables in a temporary folder, the order
// window shown, every message box answered by a script. A box a test does not
// take with takeMessages() fails it.
class OrderWindowsTest : public ::testing::Test {
protected:
    using Row = std::map<QString, QVariant>;
    using Message = platform::ScriptedDialogs::Message;

    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        ASSERT_TRUE(programDir.isValid());
        platform::setProgramFolder(programDir.path());
        data::createTableFiles(dataDir.path());
        engine = std::make_unique<data::Engine>(dataDir.path());
        dialogs = std::make_unique<platform::ScriptedDialogs>();
        windows = std::make_unique<app::ProgramWindows>(*engine);
        orders = windows->registry().ordersWindow;
        entry = windows->registry().orderEntryWindow;
        search = windows->registry().searchWindow;
        query = orders->Query1;
        // Wide enough for the whole toolbar to stay out of its overflow menu.
        orders->resize(1900, 700);
        orders->show();
        QApplication::setActiveWindow(orders);
        QApplication::processEvents();
    }

    void TearDown() override {
        EXPECT_EQ(dialogs->messageTexts(), QStringList()) << "message boxes the test did not expect";
        windows.reset();
        dialogs.reset();
        platform::setProgramFolder(QString());
    }

    // Stores orders without the posting rule (a query of its own, no hooks),
    // then reopens the order window's query on every order.
    void seed(const std::vector<Row>& rows) {
        data::Query writer(*engine);
        writer.setSql(QStringLiteral("select * from dd.db"));
        writer.open();
        for (const Row& row : rows) {
            writer.append();
            for (const auto& [field, value] : row)
                writer.field(field).setValue(value);
            writer.post();
        }
        query->setSql(QStringLiteral("select * from dd.db"));
        query->open();
    }
    void seedBatches(const QStringList& batches) {
        std::vector<Row> rows;
        for (const QString& b : batches)
            rows.push_back({{QStringLiteral("批号"), b}});
        seed(rows);
    }

    // A field of every stored order in table order, read apart from the window.
    QStringList stored(const QString& field) {
        data::Query reader(*engine);
        reader.setSql(QStringLiteral("select * from dd.db"));
        reader.open();
        QStringList values;
        for (reader.first(); !reader.eof(); reader.next())
            values << reader.field(field).asText();
        return values;
    }
    // The stored sizes 33..48 of one order, "0" for a size without value.
    QStringList storedSizes(int row) {
        QStringList sizes;
        for (const QString& s : data::sizeFieldNames()) {
            const QString v = stored(s).value(row);
            sizes << (v.isEmpty() ? QStringLiteral("0") : v);
        }
        return sizes;
    }

    // The boxes shown since the last call; they count as expected.
    std::vector<Message> takeMessages() {
        std::vector<Message> shown = dialogs->messages();
        dialogs->clear();
        return shown;
    }

    // A click delivered as the user's would be: through the application
    // object, which shows whatever escapes the handler.
    static void click(QWidget* button) {
        ASSERT_TRUE(button);
        ASSERT_TRUE(button->isVisible()) << button->objectName().toStdString();
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    }
    template <class T = QAbstractButton>
    static T* child(QWidget* window, const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QString ordersPanel(int panel) const { return orders->sBar->panelText(panel); }

    // Opens the current cell of a grid with F2 and types over its text.
    static QWidget* typeIntoCell(dbui::DbGrid* grid, int row, int column, const QString& text) {
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(row, column));
        QTest::keyClick(grid, Qt::Key_F2);
        QWidget* editor = grid->cellEditor();
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            line->selectAll();
            QTest::keyClicks(line, text);
        }
        return editor;
    }
    // Enter in a cell editor, and the Down-arrow press it is turned into.
    static void pressEnter(QWidget* target) {
        QTest::keyClick(target, Qt::Key_Return);
        QCoreApplication::processEvents();
    }

    QTemporaryDir dataDir;
    QTemporaryDir programDir;
    std::unique_ptr<data::Engine> engine;
    std::unique_ptr<platform::ScriptedDialogs> dialogs;
    std::unique_ptr<app::ProgramWindows> windows;
    TaForm3DD* orders = nullptr;
    TaForm4DDSR* entry = nullptr;
    TaForm7SS* search = nullptr;
    data::Query* query = nullptr;
};
