#pragma once

class QDialog;

namespace orvane {

class UpdateInformationViewController;

// The update dialog: version, release date, release notes, "Not Now" and "Update". Sets the
// controller's outlets and sends the buttons' answers to it.
QDialog* makeUpdateInformationView(UpdateInformationViewController& controller);

}  // namespace orvane
