#include "qt/ProgressSheet.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QToolButton>
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
    dialog->setFixedWidth(420);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(22, 20, 22, 22);
    layout->setSpacing(12);
    auto* status = new QLabel(dialog);
    status->setObjectName("statusLabel");
    status->setWordWrap(true);
    status->setFont(scaledFont(status->font(), 1.0, QFont::DemiBold));
    auto* detail = new QLabel(dialog);
    detail->setObjectName("detailLabel");
    detail->setWordWrap(true);
    auto* bar = new QProgressBar(dialog);
    bar->setObjectName("progressIndicator");
    bar->setTextVisible(false);

    // The tool's output, behind a disclosure that starts closed.
    auto* toggle = new QToolButton(dialog);
    toggle->setObjectName("detailsButton");
    toggle->setText(QCoreApplication::translate("ProgressSheet", "Details"));
    toggle->setCheckable(true);
    toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toggle->setArrowType(Qt::RightArrow);
    toggle->setAutoRaise(true);
    auto* output = new QPlainTextEdit(dialog);
    output->setObjectName("outputView");
    output->setReadOnly(true);
    output->setLineWrapMode(QPlainTextEdit::NoWrap);
    output->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    output->setMinimumHeight(160);
    output->setVisible(false);
    QObject::connect(toggle, &QToolButton::toggled, dialog, [dialog, toggle, output](bool open) {
        toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        output->setVisible(open);
        dialog->adjustSize();
    });

    layout->addWidget(status);
    layout->addWidget(detail);
    layout->addWidget(bar);
    layout->addWidget(toggle, 0, Qt::AlignLeft);
    layout->addWidget(output);

    controller.statusLabel = std::make_shared<QtTextField>(status);
    controller.detailLabel = std::make_shared<QtTextField>(detail);
    controller.progressIndicator = std::make_shared<QtProgressIndicator>(bar);
    controller.outputView = std::make_shared<QtTextField>(output);
    return dialog;
}

}  // namespace orvane
