#pragma once
// How a command ended, besides what it showed the user. Batch mode takes its
// exit status from this, never from the text of a message.

namespace pelican {

enum class Outcome {
    Done,       // the operation did what was asked
    Refused,    // nothing was sent: a range, a file or a dialog said no
    Failed,     // the device reported a failure or a difference
    Cancelled,  // the user stopped it
    LinkLost,   // an exchange failed and the recovery ran
};

const char* OutcomeName(Outcome outcome);

}  // namespace pelican
