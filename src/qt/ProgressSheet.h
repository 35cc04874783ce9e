#pragma once

class QDialog;

namespace orvane {

class ModalProgressViewController;

// The modal progress sheet: a status text over a progress bar. Sets the controller's outlets.
QDialog* makeModalProgressView(ModalProgressViewController& controller);

}  // namespace orvane
