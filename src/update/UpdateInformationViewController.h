#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/ViewControllerBase.h"
#include "platform/Widgets.h"
#include "update/DeviceSoftwareUpdateInformation.h"

namespace orvane {

// The segue that presents the update-information dialog from the console.
inline constexpr const char* SoftwareUpdateInformationSegue = "Software Update Information";

enum class UpdateSoftwareInformationViewResult { updateNow, dontUpdate };

// The update-information dialog: the announced version, its release date and notes, and two
// buttons that hand the user's answer to `resultHandler`. The dialog does not close itself.
class UpdateInformationViewController : public PlatformViewController {
public:
    std::shared_ptr<TextField> versionTextField;
    std::shared_ptr<TextField> releaseDateTextField;   // shows the date in the dialog's date style
    std::shared_ptr<TextField> releaseNotesTextField;  // multi-line
    // "Signed by key ID …", or "Not signed" in red for firmware let through unsigned.
    std::shared_ptr<TextField> signatureTextField;
    std::function<void(UpdateSoftwareInformationViewResult)> resultHandler;

    const std::optional<DeviceSoftwareUpdateInformation>& updateInformation() const { return updateInformation_; }
    // Setting the record refreshes the dialog (loading its view first).
    void setUpdateInformation(std::optional<DeviceSoftwareUpdateInformation> information);

    void didSelectUpdate(Object* sender);
    void didSelectDontUpdate(Object* sender);

private:
    std::optional<DeviceSoftwareUpdateInformation> updateInformation_;
};

}  // namespace orvane
