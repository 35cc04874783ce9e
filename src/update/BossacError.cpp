#include "update/BossacError.h"

#include "platform/Translation.h"

namespace orvane {

std::string BossacError::localizedDescription() const {
    switch (kind_) {
        case Kind::reportedFailure: {
            // The line as the tool printed it, without the trailing blanks of a terminal line end.
            std::string shown = line_;
            while (!shown.empty() && (shown.back() == '\r' || shown.back() == ' ' || shown.back() == '\t')) {
                shown.pop_back();
            }
            if (end_.empty()) {
                return withArgs(translate("BossacError", "The flashing tool reported a failure: %1"), shown);
            }
            return withArgs(translate("BossacError", "The flashing tool reported a failure: %1 (%2)"), shown, end_);
        }
        case Kind::endedAbnormally:
            return withArgs(translate("BossacError", "The flashing tool failed without saying why: %1."), end_);
        case Kind::unknown: break;
    }
    return translate("BossacError", "The flashing tool ended without reporting whether the firmware was written.");
}

}  // namespace orvane
