#pragma once

#include "spreadsheet/cell_value.h"
#include "spreadsheet/write_batch.h"

#include <map>
#include <vector>

namespace spreadsheet {

// What the layer knows of one worksheet's cells: the used area as last read
// from the office, the writes not yet sent, and the writes already sent that
// fall outside the area read. Reads are answered from here alone.
class SheetCache {
public:
    bool isLoaded() const { return loaded_; }
    // Takes the used area read from the office (rows × columns values, row
    // by row, starting at cell 1,1). Writes not yet sent are kept.
    void load(int rows, int columns, std::vector<CellValue> cells);
    // Forgets everything read and sent; writes not yet sent are kept.
    void forget();
    // Whether cells were written since the area was read (so the used area
    // may have changed).
    bool writtenSinceLoad() const { return writtenSinceLoad_; }

    CellValue value(int row, int column) const;
    void write(int row, int column, const CellValue& value);

    bool hasPending() const { return !pending_.empty(); }
    std::map<CellPos, CellValue> takePending();
    void dropPending() { pending_.clear(); }

    int loadedRows() const { return rows_; }
    int loadedColumns() const { return columns_; }

private:
    bool inArea(int row, int column) const
    {
        return row >= 1 && column >= 1 && row <= rows_ && column <= columns_;
    }
    CellValue& areaCell(int row, int column)
    {
        return cells_[static_cast<size_t>(row - 1) * columns_ + (column - 1)];
    }

    bool loaded_ = false;
    bool writtenSinceLoad_ = false;
    int rows_ = 0;
    int columns_ = 0;
    std::vector<CellValue> cells_;
    std::map<CellPos, CellValue> outside_; // sent, outside the area read
    std::map<CellPos, CellValue> pending_; // not yet sent
};

} // namespace spreadsheet
