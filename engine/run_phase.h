#pragma once

namespace kavendrum {

// The long parts of a run, each with its own progress from empty to full, so that a host can
// say what the bar stands for. Repairing is for rebuilding pieces from recovery files.
enum class RunPhase { Splitting, Verifying, Hashing, Merging, Repairing };

}  // namespace kavendrum
