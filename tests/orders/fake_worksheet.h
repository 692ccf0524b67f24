#pragma once

#include "spreadsheet/spreadsheet.h"

#include <QMap>
#include <QPair>
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
    void setCellText(int row, int column, const QString& text) override { cells_[{row, column}] = text; }
    void setCellNumber(int row, int column, double value) override {
        cells_[{row, column}] = QString::number(value, 'g', 15);
    }
    void clearCell(int row, int column) override { cells_.remove({row, column}); }
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
    void setColumnNumberFormat(int, const QString&) override {}
    void autoFitColumn(int) override {}
    void insertRow(int) override {}
    void setCenterFooter(const QString&) override {}
    void setCenterHorizontally(bool) override {}
    void setCenterVertically(bool) override {}
    void setPrintGridLines(bool) override {}
    void setOrientation(spreadsheet::PageOrientation) override {}
    void flush() override {}
    void refresh() override {}

    // One order row from column A on.
    void setRow(int row, const QStringList& texts) {
        for (int i = 0; i < texts.size(); ++i)
            if (!texts[i].isEmpty())
                setCellText(row, i + 1, texts[i]);
    }

    int reads = 0;
    int generatedRows = 0;  // rows from 2 on hold generated batch numbers G<row>
    int failAtRow = 0;

private:
    QString name_ = QStringLiteral("Sheet1");
    QMap<QPair<int, int>, QString> cells_;
};
