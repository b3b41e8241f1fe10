#pragma once

namespace kavendrum {

// How a run ended, for hosts that need more than the messages it showed. A run that reported
// any error, even after its main work was done, has not succeeded.
// Interrupted: the host asked it to stop (OperationHost::StopRequested) and it did.
enum class Outcome { Succeeded, Failed, Cancelled, Interrupted };

}  // namespace kavendrum
