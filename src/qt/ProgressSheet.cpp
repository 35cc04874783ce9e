#include "qt/ProgressSheet.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "console/ModalProgressViewController.h"
#include "qt/QtControls.h"
#include "qt/SheetDialog.h"
#include "qt/ViewStyle.h"

namespace orvane {

QDialog* makeModalProgressView(ModalProgressViewController& controller) {
    auto* dialog = new SheetDialog();
    dialog->setObjectName("modalProgressSheet");
    dialog->setWindowTitle(QApplication::applicationDisplayName());
    dialog->setWindowFlag(Qt::WindowCloseButtonHint, false);
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    dialog->setFixedWidth(420);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(22, 20, 22, 22);
    layout->setSpacing(12);
    auto* status = new QLabel(dialog);
    status->setObjectName("statusLabel");
    status->setWordWrap(true);
    status->setFont(scaledFont(status->font(), 1.0, QFont::DemiBold));
    auto* bar = new QProgressBar(dialog);
    bar->setObjectName("progressIndicator");
    bar->setTextVisible(false);
    layout->addWidget(status);
    layout->addWidget(bar);

    controller.statusLabel = std::make_shared<QtTextField>(status);
    controller.progressIndicator = std::make_shared<QtProgressIndicator>(bar);
    return dialog;
}

}  // namespace orvane
