#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QMap>
#include <QPair>
#include <QSet>
#include <stdexcept>

// A worksheet held in memory: cells by (row, column) from 1, as texts.
class FakeWorksheet : public spreadsheet::Worksheet {
public:
    QString name() const override { return name_; }
    void setName(const QString& name) override { name_ = name; }
    QString cellText(int row, int column) override {
        ++reads;
        if (failAtRow && row == failAtRow)
            throw spreadsheet::Error(QStringLiteral("the office stopped answering"));
        if (generatedRows && row >= 2 && row < 2 + generatedRows)
            return column == 1 ? QStringLiteral("G%1").arg(row) : QString();
        return cells_.value({row, column});
    }
    void setCellText(int row, int column, const QString& text) override {
        failIfGone(row);
        cells_[{row, column}] = text;
        numberCells.remove({row, column});
    }
    void setCellNumber(int row, int column, double value) override {
        failIfGone(row);
        cells_[{row, column}] = QString::number(value, 'g', 15);
        numberCells.insert({row, column});
    }
    void clearCell(int row, int column) override {
        cells_.remove({row, column});
        numberCells.remove({row, column});
    }
    int usedRowCount() override {
        int rows = 0;
        for (auto it = cells_.cbegin(); it != cells_.cend(); ++it)
            rows = std::max(rows, it.key().first);
        return rows;
    }
    int usedColumnCount() override {
        int columns = 0;
        for (auto it = cells_.cbegin(); it != cells_.cend(); ++it)
            columns = std::max(columns, it.key().second);
        return columns;
    }
    void setColumnNumberFormat(int column, const QString& format) override { formats[column] = format; }
    void autoFitColumn(int column) override { ++fits[column]; }
    void autoFitColumns(int first, int last) override {
        for (int c = first; c <= last; ++c)
            ++fits[c];
    }
    void insertRow(int row) override { insertRows(row, 1); }
    // Rows from `row` on move down by count.
    void insertRows(int row, int count) override {
        ++insertCalls;
        insertedRows += count;
        QMap<QPair<int, int>, QString> moved;
        for (auto it = cells_.cbegin(); it != cells_.cend(); ++it)
            moved[{it.key().first >= row ? it.key().first + count : it.key().first, it.key().second}] = it.value();
        cells_ = moved;
    }
    void setCellFormula(int row, int column, const QString& formula) override { cells_[{row, column}] = formula; }
    void setBorders(int, int, int, int) override {}
    void setBold(int, int, int, int) override {}
    void mergeCells(int, int, int, int) override {}
    void setCenterFooter(const QString& text) override {
        if (failPageSetup)
            throw spreadsheet::Error(QStringLiteral("no printer"));
        footer = text;
    }
    void setCenterHorizontally(bool on) override { centredHorizontally = on; }
    void setCenterVertically(bool on) override { centredVertically = on; }
    void setPrintGridLines(bool on) override { gridLines = on; }
    void setOrientation(spreadsheet::PageOrientation o) override { orientation_ = o; }
    void setFitToPagesWide(int pages) override { pagesWide = pages; }
    QString centerFooter() override { return footer; }
    spreadsheet::PageOrientation orientation() override { return orientation_; }
    bool centerHorizontally() override { return centredHorizontally; }
    bool centerVertically() override { return centredVertically; }
    bool printGridLines() override { return gridLines; }
    int fitToPagesWide() override { return pagesWide; }
    int columnWidth(int) override { return 0; }
    void flush() override {}
    void refresh() override {}

    // One order row from column A on.
    void setRow(int row, const QStringList& texts) {
        for (int i = 0; i < texts.size(); ++i)
            if (!texts[i].isEmpty())
                setCellText(row, i + 1, texts[i]);
    }

    // What the look and print calls left.
    QMap<int, QString> formats;
    QMap<int, int> fits;
    int insertedRows = 0;
    int insertCalls = 0;
    QSet<QPair<int, int>> numberCells;  // cells written as numbers
    QString footer;
    bool centredHorizontally = false, centredVertically = false, gridLines = false;
    int pagesWide = 0;
    bool failPageSetup = false;

    int reads = 0;
    int generatedRows = 0;  // rows from 2 on hold generated batch numbers G<row>
    int failAtRow = 0;
    int goneAtRow = 0;  // writing this row finds the office gone

private:
    void failIfGone(int row) {
        if (goneAtRow && row == goneAtRow)
            throw spreadsheet::Error(QStringLiteral("The workbook is no longer open"), spreadsheet::Error::Operation::Gone);
    }

    QString name_ = QStringLiteral("Sheet1");
    spreadsheet::PageOrientation orientation_ = spreadsheet::PageOrientation::Portrait;
    QMap<QPair<int, int>, QString> cells_;
};
