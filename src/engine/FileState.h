#pragma once

// The state of one source in the list and in the stored queue. The numbers
// are stored: never reorder them, only append.
enum class TFileState : int {
    Waiting = 0,    // to be converted
    Converting = 1, // a job runs on it now
    Converted = 2,  // its output was committed
    Failed = 3,     // its conversion failed; the reason is kept
    Skipped = 4,    // passed over on purpose (an existing output, a source that is its own output)
    Stopped = 5,    // the batch was stopped before or while it ran
};
