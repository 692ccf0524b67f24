#pragma once

// Plays a sequence of steps on the program and on the model side by side
// and compares them after every step: the outcome the clerk sees, the rows
// stored (read apart from the engine), the orders shown and the
// unregistered list.

#include "data/table_fixture.h"
#include "step.h"

#include <QString>
#include <optional>
#include <vector>

namespace seq {

struct Finding {
    int step = 0;  // from 0
    QString what;
};

struct PlayCounts {
    int steps = 0;
    int faults = 0;      // steps with a store fault
    int endedBadly = 0;  // steps that ended by an error, whatever its cause
};

// The first step after which the program and the model differ, if any.
std::optional<Finding> playSequence(Store store, const std::vector<Step>& steps, PlayCounts* counts = nullptr);

// The shortest sequence found that still ends in a difference: the steps
// after the failing one are cut, then chunks of steps and single steps are
// dropped while the rest still fails, then rows of imports and fields of
// edits. finding is updated to its failure.
std::vector<Step> shrinkSequence(Store store, std::vector<Step> steps, Finding& finding, int maxReplays = 300);

// Steps drawn from a seed.
std::vector<Step> drawSequence(quint64 seed, int steps, Store store);

}  // namespace seq
