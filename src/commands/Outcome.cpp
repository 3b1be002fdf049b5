#include "commands/Outcome.h"

namespace pelican {

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Done: return "done";
        case Outcome::Refused: return "refused";
        case Outcome::Failed: return "failed";
        case Outcome::Cancelled: return "cancelled";
        case Outcome::LinkLost: return "link lost";
    }
    return "unknown";
}

}  // namespace pelican
