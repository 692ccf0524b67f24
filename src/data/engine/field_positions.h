#pragma once

#include <QStringList>
#include <vector>

namespace data {

class Query;

// The positions of fields a rule names, in whichever query it is given:
// looked up by name once and checked on every use against the fields of the
// query's table (another table, or a file whose fields stand in another
// order, is looked up again), so that a rule run on every post compares a
// name per field instead of looking each one up.
class FieldPositions {
public:
    explicit FieldPositions(QStringList names) : names_(std::move(names)) {}

    // In the order of the names. Throws EngineError::wrongLayout for a name
    // the query's table does not have.
    const std::vector<int>& of(const Query& query);

private:
    QStringList names_;
    std::vector<int> positions_;
    quint64 layout_ = 0;  // the layout the positions were last found in
};

}  // namespace data
