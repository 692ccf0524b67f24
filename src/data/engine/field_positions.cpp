#include "data/engine/field_positions.h"

#include "data/engine/query.h"

namespace data {

const std::vector<int>& FieldPositions::of(const Query& query) {
    const quint64 layout = query.fieldLayout();
    if (layout != 0 && layout == layout_)
        return positions_;
    layout_ = 0;
    bool valid = positions_.size() == std::size_t(names_.size());
    for (std::size_t i = 0; valid && i < positions_.size(); ++i)
        valid = query.hasFieldAt(positions_[i], names_[qsizetype(i)]);
    if (valid) {
        layout_ = layout;
        return positions_;
    }
    positions_.clear();
    for (const QString& name : names_) {
        const int index = query.fieldIndex(name);
        if (index < 0) {
            positions_.clear();
            throw EngineError::wrongLayout(query.tableName(), name);
        }
        positions_.push_back(index);
    }
    layout_ = layout;
    return positions_;
}

}  // namespace data
