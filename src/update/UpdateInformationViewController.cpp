#include "update/UpdateInformationViewController.h"

#include <memory>

#include <unicode/datefmt.h>
#include <unicode/unistr.h>

#include "platform/Translation.h"

namespace orvane {

namespace {

// The dialog's date style: a long date and a short time in the user's locale and time zone.
std::string releaseDateText(std::chrono::system_clock::time_point date) {
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(icu::DateFormat::kLong, icu::DateFormat::kShort));
    if (!format) return {};
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count();
    icu::UnicodeString text;
    format->format(static_cast<UDate>(millis), text);
    std::string result;
    text.toUTF8String(result);
    return result;
}

}  // namespace

void UpdateInformationViewController::setUpdateInformation(std::optional<DeviceSoftwareUpdateInformation> information) {
    updateInformation_ = std::move(information);
    if (!updateInformation_) return;
    loadViewIfNeeded();
    if (versionTextField) versionTextField->setStringValue(updateInformation_->version.description());
    if (releaseDateTextField) releaseDateTextField->setStringValue(releaseDateText(updateInformation_->releaseDate));
    if (releaseNotesTextField) releaseNotesTextField->setStringValue(updateInformation_->releaseNotes);
    if (signatureTextField) {
        const auto& key = updateInformation_->signedBy;
        signatureTextField->setStringValue(
            key ? withArgs(translate("UpdateInformationViewController", "Signed by key ID %1"), *key)
                : translate("UpdateInformationViewController", "Not signed"));
        signatureTextField->setTextColor(key ? Color::label : Color::systemRed);
    }
}

void UpdateInformationViewController::didSelectUpdate(Object*) {
    if (resultHandler) resultHandler(UpdateSoftwareInformationViewResult::updateNow);
}

void UpdateInformationViewController::didSelectDontUpdate(Object*) {
    if (resultHandler) resultHandler(UpdateSoftwareInformationViewResult::dontUpdate);
}

}  // namespace orvane
