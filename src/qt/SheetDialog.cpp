#include "qt/SheetDialog.h"

namespace orvane {

SheetDialog::SheetDialog(QWidget* parent) : QDialog(parent) {}

void SheetDialog::reject() {
    if (!onReject) return;
    const std::function<void()> handler = onReject;
    handler();
}

void SheetDialog::closeWithoutAnswer(QDialog& dialog) {
    if (auto* sheet = qobject_cast<SheetDialog*>(&dialog)) sheet->onReject = nullptr;
    dialog.done(QDialog::Rejected);
}

}  // namespace orvane
