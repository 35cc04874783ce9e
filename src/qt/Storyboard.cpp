#include "qt/Storyboard.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

#include "qt/MasterViewController.h"
#include "console/ModalProgressViewController.h"
#include "console/ViewController.h"
#include "inspector/InspectorItem.h"
#include "inspector/InspectorViewController.h"
#include "qt/QtControls.h"
#include "qt/QtImageView.h"
#include "qt/QtOutlineView.h"
#include "update/UpdateInformationViewController.h"

namespace orvane {

namespace {

// Secondary text: the text colour faded towards the background.
QColor mutedTextColor(const QPalette& palette, qreal strength = 0.58) {
    const QColor text = palette.color(QPalette::Text);
    const QColor base = palette.color(QPalette::Base);
    return QColor::fromRgbF(text.redF() * strength + base.redF() * (1 - strength),
                            text.greenF() * strength + base.greenF() * (1 - strength),
                            text.blueF() * strength + base.blueF() * (1 - strength));
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QFont scaledFont(const QFont& font, qreal factor, QFont::Weight weight = QFont::Normal) {
    QFont scaled = font;
    if (scaled.pointSizeF() > 0) scaled.setPointSizeF(scaled.pointSizeF() * factor);
    scaled.setWeight(weight);
    return scaled;
}

QLabel* makeCaption(const QString& text, QWidget* parent) {
    auto* caption = new QLabel(text, parent);
    caption->setFont(scaledFont(caption->font(), 0.85));
    setTextColor(caption, mutedTextColor(caption->palette()));
    return caption;
}

// A weak reference to a controller that an action can call while the controller lives.
template <typename Controller>
std::weak_ptr<Controller> weakController(Controller& controller) {
    return std::static_pointer_cast<Controller>(controller.shared_from_this());
}

// The cell of a row: a horizontal strip with the given margins.
QWidget* makeCellWidget(QHBoxLayout*& layout, const QMargins& margins) {
    auto* cell = new QWidget();
    layout = new QHBoxLayout(cell);
    layout->setContentsMargins(margins);
    layout->setSpacing(6);
    return cell;
}

QLabel* makeCellLabel(QWidget* cell) {
    auto* label = new QLabel(cell);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    return label;
}

const QMargins kCellMargins(6, 3, 10, 3);

}  // namespace

// --- sheet dialog ---

SheetDialog::SheetDialog(QWidget* parent) : QDialog(parent) {}

void SheetDialog::reject() {
    if (!onReject) return;
    const std::function<void()> handler = onReject;
    handler();
}

void Storyboard::closeWithoutAnswer(QDialog& dialog) {
    if (auto* sheet = qobject_cast<SheetDialog*>(&dialog)) sheet->onReject = nullptr;
    dialog.done(QDialog::Rejected);
}

// --- wheel stage ---

WheelStage::WheelStage(QWidget* parent) : QWidget(parent), canvas_(new ImageCanvas(this)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void WheelStage::resizeEvent(QResizeEvent*) {
    // The wheel grows with the window up to a comfortable size, and stays centred.
    const int side = std::max(0, std::min({width(), height() - pointerHeight - 4, maximumSide}));
    const int top = pointerHeight + 4 + std::max(0, (height() - pointerHeight - 4 - side) / 2);
    canvas_->setGeometry((width() - side) / 2, top, side, side);
    pointerTop_ = top - pointerHeight - 4;
}

void WheelStage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const qreal x = width() / 2.0;
    QPainterPath pointer;
    pointer.moveTo(x - 7, pointerTop_);
    pointer.lineTo(x + 7, pointerTop_);
    pointer.lineTo(x, pointerTop_ + pointerHeight);
    pointer.closeSubpath();
    painter.fillPath(pointer, mutedTextColor(palette(), 0.45));
}

// --- console ---

QWidget* Storyboard::makeConsoleView(ViewController& console) {
    auto* view = new QWidget();
    view->setObjectName("consoleView");
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(28, 20, 28, 22);
    layout->setSpacing(18);

    auto* stage = new WheelStage(view);
    stage->canvas()->setObjectName("steeringWheelImage");
    stage->canvas()->setImageName("SteeringWheel");
    layout->addWidget(stage, 1);

    auto* controls = new QGridLayout();
    controls->setHorizontalSpacing(10);
    controls->setVerticalSpacing(2);
    controls->setColumnStretch(2, 1);
    layout->addLayout(controls);

    auto addSlider = [&](int row, const QString& title, const QString& minimum, const QString& maximum,
                         const char* sliderName, const char* labelName, const QString& idleText) {
        auto* heading = new QLabel(title, view);
        heading->setFont(scaledFont(heading->font(), 1.0, QFont::DemiBold));
        controls->addWidget(heading, row, 0, Qt::AlignVCenter);
        controls->addWidget(makeCaption(minimum, view), row, 1, Qt::AlignRight | Qt::AlignVCenter);
        auto* slider = new ControlSlider(Qt::Horizontal, view);
        slider->setObjectName(sliderName);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(50);
        slider->setPageStep(10);
        slider->setMinimumWidth(220);
        controls->addWidget(slider, row, 2);
        controls->addWidget(makeCaption(maximum, view), row, 3, Qt::AlignLeft | Qt::AlignVCenter);
        auto* label = new QLabel(idleText, view);
        label->setObjectName(labelName);
        label->setAlignment(Qt::AlignHCenter);
        controls->addWidget(label, row + 1, 2);
        controls->setRowMinimumHeight(row + 2, 12);
        return std::make_pair(slider, label);
    };
    auto [longSlider, longLabel] = addSlider(0, "Longitudinal", "Brake", "Engine", "longControlSlider",
                                             "longControlLabel", "No longitudinal control requested.");
    auto [latSlider, latLabel] = addSlider(3, "Lateral", "Counterclockwise", "Clockwise", "latControlSlider",
                                           "latControlLabel", "No lateral control requested.");

    auto longControl = std::make_shared<QtSlider>(longSlider);
    auto latControl = std::make_shared<QtSlider>(latSlider);
    auto target = weakController(console);
    longControl->setAction([target, sender = longControl.get()] {
        if (auto controller = target.lock()) controller->didChangeLongSlider(sender);
    });
    latControl->setAction([target, sender = latControl.get()] {
        if (auto controller = target.lock()) controller->didChangeLatSlider(sender);
    });

    console.longControlSlider = longControl;
    console.latControlSlider = latControl;
    console.longControlLabel = std::make_shared<QtTextField>(longLabel);
    console.latControlLabel = std::make_shared<QtTextField>(latLabel);
    console.steeringWheelImage = std::make_shared<QtImageView>(stage->canvas());
    return view;
}

// --- inspector ---

std::shared_ptr<QtOutlineView> Storyboard::makeInspectorView(InspectorViewController& inspector) {
    auto outline = std::make_shared<QtOutlineView>(std::vector<QtOutlineView::Column>{
        {InspectorViewController::titleColumnIdentifier, 210},
        {InspectorViewController::valueColumnIdentifier, 240},
    });
    QTreeView* tree = outline->widget();
    tree->setObjectName("inspectorOutline");
    tree->setMinimumWidth(380);

    outline->registerCellPrototype(InspectorViewController::titleCellIdentifier, [] {
        QHBoxLayout* layout = nullptr;
        QWidget* cell = makeCellWidget(layout, kCellMargins);
        QLabel* label = makeCellLabel(cell);
        setTextColor(label, mutedTextColor(label->palette()));
        layout->addWidget(label);
        return std::make_shared<QtTableCellView>(InspectorViewController::titleCellIdentifier, cell,
                                                 std::make_shared<QtTextField>(label), nullptr);
    });
    outline->registerCellPrototype(InspectorViewController::groupCellIdentifier, [] {
        QHBoxLayout* layout = nullptr;
        QWidget* cell = makeCellWidget(layout, QMargins(6, 12, 10, 4));
        QLabel* label = makeCellLabel(cell);
        QFont font = scaledFont(label->font(), 0.82, QFont::Bold);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
        label->setFont(font);
        setTextColor(label, mutedTextColor(label->palette(), 0.72));
        layout->addWidget(label);
        return std::make_shared<QtTableCellView>(InspectorViewController::groupCellIdentifier, cell,
                                                 std::make_shared<QtTextField>(label), nullptr);
    });
    outline->registerCellPrototype(TextValueCellIdentifier, [] {
        QHBoxLayout* layout = nullptr;
        QWidget* cell = makeCellWidget(layout, kCellMargins);
        QLabel* label = makeCellLabel(cell);
        layout->addWidget(label);
        return std::make_shared<QtTableCellView>(TextValueCellIdentifier, cell, std::make_shared<QtTextField>(label),
                                                 nullptr);
    });
    outline->registerCellPrototype(IndicatorTextValueCellIdentifier, [] {
        QHBoxLayout* layout = nullptr;
        QWidget* cell = makeCellWidget(layout, kCellMargins);
        auto* lamp = new ImageCanvas(cell);
        lamp->setObjectName("statusLamp");
        lamp->setFixedSize(13, 13);
        QLabel* label = makeCellLabel(cell);
        layout->addWidget(lamp, 0, Qt::AlignVCenter);
        layout->addWidget(label);
        return std::make_shared<QtTableCellView>(IndicatorTextValueCellIdentifier, cell,
                                                 std::make_shared<QtTextField>(label),
                                                 std::make_shared<QtImageView>(lamp));
    });
    outline->registerCellPrototype(ActionTextValueCellIdentifier, [] {
        QHBoxLayout* layout = nullptr;
        QWidget* cell = makeCellWidget(layout, QMargins(6, 1, 10, 1));
        QLabel* label = makeCellLabel(cell);
        auto* button = new QPushButton(cell);
        button->setObjectName("actionButton");
        button->setFont(scaledFont(button->font(), 0.9));
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(label);
        layout->addWidget(button);
        return std::make_shared<QtActionTableCellView>(ActionTextValueCellIdentifier, cell,
                                                       std::make_shared<QtTextField>(label),
                                                       std::make_shared<QtButton>(button));
    });

    inspector.setOutlineView(outline);
    return outline;
}

// --- master ---

QSplitter* Storyboard::makeMasterView(MasterViewController&) {
    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName("masterView");
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(1);
    return splitter;
}

void Storyboard::arrangeMasterView(QSplitter& splitter) {
    // The console (first) takes what the inspector (second) leaves.
    for (int i = 0; i < splitter.count(); ++i) {
        const bool inspector = splitter.widget(i)->objectName() == "inspectorOutline";
        splitter.setStretchFactor(i, inspector ? 0 : 1);
    }
    if (splitter.count() == 2) splitter.setSizes({600, 500});
}

// --- modal progress ---

QDialog* Storyboard::makeModalProgressView(ModalProgressViewController& controller) {
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

// --- update information ---

QDialog* Storyboard::makeUpdateInformationView(UpdateInformationViewController& controller) {
    auto* dialog = new SheetDialog();
    dialog->setObjectName("updateInformationDialog");
    dialog->setWindowTitle("Software Update");
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
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

    auto* heading = new QLabel("A new version of the device firmware is available.", dialog);
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
    facts->addRow(makeCaption("Version", dialog), version);
    facts->addRow(makeCaption("Released", dialog), date);
    content->addLayout(facts);

    content->addWidget(makeCaption("Release Notes", dialog));
    auto* notes = new QPlainTextEdit(dialog);
    notes->setObjectName("releaseNotesTextField");
    notes->setReadOnly(true);
    notes->setMinimumHeight(160);
    content->addWidget(notes, 1);

    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* notNow = buttons->addButton("Not Now", QDialogButtonBox::RejectRole);
    QPushButton* update = buttons->addButton("Update", QDialogButtonBox::AcceptRole);
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
    return dialog;
}

}  // namespace orvane
