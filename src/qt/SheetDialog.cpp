#include "qt/SheetDialog.h"

#include <QCloseEvent>

namespace orvane {

SheetDialog::SheetDialog(QWidget* parent) : QDialog(parent) {}

void SheetDialog::reject() {
    if (!onReject) return;
    const std::function<void()> handler = onReject;
    handler();
}

void SheetDialog::closeEvent(QCloseEvent* event) {
    // Only the presenting controller closes the sheet; a request from outside is an answer at
    // most, never a close that would leave the controller waiting on a sheet that is gone.
    event->ignore();
    reject();
}

void SheetDialog::closeWithoutAnswer(QDialog& dialog) {
    if (auto* sheet = qobject_cast<SheetDialog*>(&dialog)) sheet->onReject = nullptr;
    dialog.done(QDialog::Rejected);
}

}  // namespace orvane
