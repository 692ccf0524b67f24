#pragma once

#include "dbui/db_grid.h"
#include "orders/order_entry_window.h"
#include "orders/orders_window.h"
#include "orders/search_window.h"
#include "program_windows_fixture.h"
#include "window_kit/fault_texts.h"
#include "window_kit/status_panels.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>
#include <map>

// While it lives, the general error display speaks as the program does.
struct TranslatedFaults {
    TranslatedFaults() : previous(platform::setErrorTranslator(kit::faultReport)) {}
    ~TranslatedFaults() { platform::setErrorTranslator(previous); }
    platform::ErrorTranslator previous;
};

// The program's windows with the order window shown.
class OrderWindowsTest : public ProgramWindowsTest {
protected:
    void SetUp() override {
        ProgramWindowsTest::SetUp();
        orders = windows->registry().ordersWindow;
        entry = windows->registry().orderEntryWindow;
        search = windows->registry().searchWindow;
        query = orders->Query1;
        // Wide enough for the whole toolbar to stay out of its overflow menu.
        orders->resize(1900, 700);
        showActive(orders);
    }

    // Stores orders without the posting rule (a query of its own, no hooks),
    // then reopens the order window's query on every order.
    void seed(const std::vector<Row>& rows) {
        storeRows(QStringLiteral("dd.db"), rows);
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
    QStringList stored(const QString& field) { return column(*openQuery(QStringLiteral("select * from dd.db")), field); }
    // The stored sizes 33..48 of one order, "0" for a size without value.
    QStringList storedSizes(int row) {
        QStringList sizes;
        for (const QString& s : data::sizeFieldNames()) {
            const QString v = stored(s).value(row);
            sizes << (v.isEmpty() ? QStringLiteral("0") : v);
        }
        return sizes;
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

    TaForm3DD* orders = nullptr;
    TaForm4DDSR* entry = nullptr;
    TaForm7SS* search = nullptr;
    data::Query* query = nullptr;
};
