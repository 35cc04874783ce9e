#include "update/BossacError.h"

namespace orvane {

std::string BossacError::localizedDescription() const {
    switch (kind_) {
        case Kind::reportedFailure: {
            // The line as the tool printed it, without the trailing blanks of a terminal line end.
            std::string shown = line_;
            while (!shown.empty() && (shown.back() == '\r' || shown.back() == ' ' || shown.back() == '\t')) {
                shown.pop_back();
            }
            return "The flashing tool reported a failure: " + shown + (end_.empty() ? "" : " (" + end_ + ")");
        }
        case Kind::endedAbnormally: return "The flashing tool failed without saying why: " + end_ + ".";
        case Kind::unknown: break;
    }
    return "The flashing tool ended without reporting whether the firmware was written.";
}

}  // namespace orvane
