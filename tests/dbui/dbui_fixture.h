#pragma once

#include "data/engine.h"
#include "data/query.h"
#include "data/table_files.h"
#include "dbui/data_source.h"
#include "dbui/db_grid.h"
#include "qt_printing.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

// Real tables in a temporary folder, the order table open in a live query
// and a data source over it.
class DbuiFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        data::createTableFiles(dir.path());
        engine = std::make_unique<data::Engine>(dir.path());
        query = std::make_unique<data::Query>(*engine);
        query->setSql(QStringLiteral("select * from dd.db"));
        query->open();
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
    QStringList stored(const QString& field)
    {
        data::Query reader(*engine);
        reader.setSql(QStringLiteral("select * from dd.db"));
        reader.open();
        QStringList values;
        for (reader.first(); !reader.eof(); reader.next())
            values << reader.field(field).asText();
        return values;
    }

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

    QTemporaryDir dir;
    std::unique_ptr<data::Engine> engine;
    std::unique_ptr<data::Query> query;
    std::unique_ptr<dbui::DataSource> source;
};
