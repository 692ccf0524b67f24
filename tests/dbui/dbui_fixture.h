#pragma once

#include "data/table_fixture.h"
#include "dbui/data_source.h"
#include "dbui/db_grid.h"
#include "qt_printing.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

inline const QString Batch = QStringLiteral("批号");
inline const QString Cases = QStringLiteral("件数");
inline const QString Remark = QStringLiteral("备注");

// Real tables in a temporary folder, the order table open in a live query
// and a data source over it.
class DbuiFixture : public TableFixture {
protected:
    void SetUp() override
    {
        query = openQuery(QStringLiteral("select * from dd.db"));
        source = std::make_unique<dbui::DataSource>(query.get());
    }

    void addOrders(const QStringList& batches)
    {
        for (const QString& batch : batches) {
            query->append();
            query->field(QStringLiteral("批号")).setText(batch);
            query->post();
        }
        query->first();
    }

    // What is stored in the table, read through a query of its own.
    QStringList stored(const QString& field) { return column(*openQuery(QStringLiteral("select * from dd.db")), field); }

    // A shown grid over the data source with the given columns, holding the focus.
    std::unique_ptr<dbui::DbGrid> makeGrid(const QStringList& columns)
    {
        auto grid = std::make_unique<dbui::DbGrid>();
        grid->setDataSource(source.get());
        grid->setColumns(columns);
        grid->resize(500, 300);
        grid->show();
        QApplication::setActiveWindow(grid.get());
        grid->setFocus();
        return grid;
    }

    // Opens the current cell's editor with F2 and types text over its content.
    static QLineEdit* typeIntoCell(dbui::DbGrid& grid, const QString& text)
    {
        QTest::keyClick(&grid, Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(grid.cellEditor());
        if (!editor)
            return nullptr;
        editor->selectAll();
        QTest::keyClicks(editor, text);
        return editor;
    }

    static int currentRow(const dbui::DbGrid& grid) { return grid.currentIndex().row(); }
    static int currentColumn(const dbui::DbGrid& grid) { return grid.currentIndex().column(); }

    std::unique_ptr<data::Query> query;
    std::unique_ptr<dbui::DataSource> source;
};
