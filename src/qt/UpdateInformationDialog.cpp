#include "qt/UpdateInformationDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "qt/QtControls.h"
#include "qt/QtImageView.h"
#include "qt/SheetDialog.h"
#include "qt/ViewStyle.h"
#include "update/UpdateInformationViewController.h"

namespace orvane {

QDialog* makeUpdateInformationView(UpdateInformationViewController& controller) {
    auto* dialog = new SheetDialog();
    dialog->setObjectName("updateInformationDialog");
    dialog->setWindowTitle(QCoreApplication::translate("UpdateInformationDialog", "Software Update"));
    dialog->resize(560, 420);

    auto* layout = new QHBoxLayout(dialog);
    layout->setContentsMargins(22, 22, 22, 18);
    layout->setSpacing(18);
    auto* icon = new ImageCanvas(dialog);
    icon->setImageName("FirmwareUpdate");
    icon->setFixedSize(64, 64);
    layout->addWidget(icon, 0, Qt::AlignTop);

    auto* content = new QVBoxLayout();
    content->setSpacing(10);
    layout->addLayout(content, 1);

    auto* heading = new QLabel(
        QCoreApplication::translate("UpdateInformationDialog", "A new version of the device firmware is available."),
        dialog);
    heading->setWordWrap(true);
    heading->setFont(scaledFont(heading->font(), 1.15, QFont::DemiBold));
    content->addWidget(heading);

    auto* facts = new QFormLayout();
    facts->setLabelAlignment(Qt::AlignLeft);
    facts->setHorizontalSpacing(14);
    auto* version = new QLabel(dialog);
    version->setObjectName("versionTextField");
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* date = new QLabel(dialog);
    date->setObjectName("releaseDateTextField");
    facts->addRow(makeCaption(QCoreApplication::translate("UpdateInformationDialog", "Version"), dialog), version);
    facts->addRow(makeCaption(QCoreApplication::translate("UpdateInformationDialog", "Released"), dialog), date);
    auto* signature = new QLabel(dialog);
    signature->setObjectName("signatureTextField");
    facts->addRow(makeCaption(QCoreApplication::translate("UpdateInformationDialog", "Signature"), dialog), signature);
    content->addLayout(facts);

    content->addWidget(makeCaption(QCoreApplication::translate("UpdateInformationDialog", "Release Notes"), dialog));
    auto* notes = new QPlainTextEdit(dialog);
    notes->setObjectName("releaseNotesTextField");
    notes->setReadOnly(true);
    notes->setMinimumHeight(160);
    content->addWidget(notes, 1);

    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* notNow = buttons->addButton(QCoreApplication::translate("UpdateInformationDialog", "Not Now"),
                                             QDialogButtonBox::RejectRole);
    QPushButton* update = buttons->addButton(QCoreApplication::translate("UpdateInformationDialog", "Update"),
                                             QDialogButtonBox::AcceptRole);
    notNow->setObjectName("notNowButton");
    update->setObjectName("updateButton");
    update->setDefault(true);
    content->addWidget(buttons);

    auto target = weakController(controller);
    QObject::connect(update, &QPushButton::clicked, dialog, [target] {
        if (auto c = target.lock()) c->didSelectUpdate(nullptr);
    });
    QObject::connect(notNow, &QPushButton::clicked, dialog, [target] {
        if (auto c = target.lock()) c->didSelectDontUpdate(nullptr);
    });
    // Escape or closing the window is the same answer as "Not Now".
    dialog->onReject = [target] {
        if (auto c = target.lock()) c->didSelectDontUpdate(nullptr);
    };

    controller.versionTextField = std::make_shared<QtTextField>(version);
    controller.releaseDateTextField = std::make_shared<QtTextField>(date);
    controller.releaseNotesTextField = std::make_shared<QtTextField>(notes);
    controller.signatureTextField = std::make_shared<QtTextField>(signature);
    return dialog;
}

}  // namespace orvane
