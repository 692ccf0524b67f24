#pragma once

#include "spreadsheet/cell_value.h"

#include <map>
#include <utility>
#include <vector>

namespace spreadsheet {

// Row and column of a cell, both from 1; ordered row by row.
using CellPos = std::pair<int, int>;

// A rectangle of cells written in one call: rowCount × columnCount values,
// row by row.
struct CellBlock {
    int top = 1;
    int left = 1;
    int rowCount = 0;
    int columnCount = 0;
    std::vector<CellValue> values;

    const CellValue& at(int rowOffset, int columnOffset) const
    {
        return values[static_cast<size_t>(rowOffset) * columnCount + columnOffset];
    }
};

// Gathers the written cells into as few rectangles as possible without taking
// in a cell that was not written: each row's written cells fall into runs of
// neighbouring columns, and runs over the same columns in consecutive rows
// make one block, up to maxRows rows.
std::vector<CellBlock> groupIntoBlocks(const std::map<CellPos, CellValue>& cells, int maxRows = 4096);

} // namespace spreadsheet
