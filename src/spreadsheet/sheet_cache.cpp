#include "spreadsheet/sheet_cache.h"

namespace spreadsheet {

void SheetCache::load(int rows, int columns, std::vector<CellValue> cells)
{
    rows_ = rows;
    columns_ = columns;
    cells_ = std::move(cells);
    cells_.resize(static_cast<size_t>(rows) * columns);
    outside_.clear();
    loaded_ = true;
    writtenSinceLoad_ = false;
}

void SheetCache::forget()
{
    loaded_ = false;
    writtenSinceLoad_ = false;
    rows_ = columns_ = 0;
    cells_.clear();
    outside_.clear();
}

CellValue SheetCache::value(int row, int column) const
{
    const CellPos pos{row, column};
    if (auto it = pending_.find(pos); it != pending_.end())
        return it->second;
    if (inArea(row, column))
        return cells_[static_cast<size_t>(row - 1) * columns_ + (column - 1)];
    if (auto it = outside_.find(pos); it != outside_.end())
        return it->second;
    return CellValue::empty();
}

void SheetCache::write(int row, int column, const CellValue& value)
{
    CellValue stored = value;
    // A number written over a date keeps the cell's date format.
    if (stored.kind == CellValue::Kind::Number && this->value(row, column).kind == CellValue::Kind::Date)
        stored.kind = CellValue::Kind::Date;
    pending_[{row, column}] = stored;
    if (!loaded_)
        return;
    writtenSinceLoad_ = true;
    if (inArea(row, column))
        areaCell(row, column) = stored;
    else
        outside_[{row, column}] = stored;
}

std::map<CellPos, CellValue> SheetCache::takePending()
{
    std::map<CellPos, CellValue> taken;
    taken.swap(pending_);
    return taken;
}

} // namespace spreadsheet
