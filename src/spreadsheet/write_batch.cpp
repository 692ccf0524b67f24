#include "spreadsheet/write_batch.h"

namespace spreadsheet {

namespace {

struct Run {
    int row;
    int left;
    std::vector<CellValue> values;
};

// Splits the written cells into runs of neighbouring columns within one row.
std::vector<Run> columnRuns(const std::map<CellPos, CellValue>& cells)
{
    std::vector<Run> runs;
    for (const auto& [pos, value] : cells) {
        const auto [row, column] = pos;
        if (!runs.empty()) {
            Run& last = runs.back();
            if (last.row == row && last.left + static_cast<int>(last.values.size()) == column) {
                last.values.push_back(value);
                continue;
            }
        }
        runs.push_back({row, column, {value}});
    }
    return runs;
}

} // namespace

std::vector<CellBlock> groupIntoBlocks(const std::map<CellPos, CellValue>& cells, int maxRows)
{
    std::vector<CellBlock> closed;
    // Blocks still growing, keyed by their columns (left, width).
    std::map<std::pair<int, int>, CellBlock> open;

    for (Run& run : columnRuns(cells)) {
        const int width = static_cast<int>(run.values.size());
        const auto key = std::make_pair(run.left, width);
        auto it = open.find(key);
        if (it != open.end()) {
            CellBlock& block = it->second;
            if (block.top + block.rowCount == run.row && block.rowCount < maxRows) {
                block.values.insert(block.values.end(), run.values.begin(), run.values.end());
                ++block.rowCount;
                continue;
            }
            closed.push_back(std::move(block));
            open.erase(it);
        }
        open.emplace(key, CellBlock{run.row, run.left, 1, width, std::move(run.values)});
    }
    for (auto& entry : open)
        closed.push_back(std::move(entry.second));
    return closed;
}

} // namespace spreadsheet
