#include "qt/QtControls.h"

#include <QAction>
#include <QAbstractItemView>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

std::optional<EventType>& currentEvent() {
    static std::optional<EventType> event;
    return event;
}

QString toQString(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

std::string toStdString(const QString& text) { return text.toStdString(); }

// Which palette role a widget draws its text with.
QPalette::ColorRole textRole(const QWidget* widget) {
    return qobject_cast<const QLabel*>(widget) ? QPalette::WindowText : QPalette::Text;
}

}  // namespace

// --- current event ---

void QtCurrentEvent::install() {
    setCurrentEventTypeProvider([] { return QtCurrentEvent::type(); });
}

std::optional<EventType> QtCurrentEvent::type() { return currentEvent(); }

QtCurrentEvent::Scope::Scope(EventType type) : previous_(currentEvent()) { currentEvent() = type; }

QtCurrentEvent::Scope::~Scope() { currentEvent() = previous_; }

// --- connections ---

QtConnections::~QtConnections() {
    for (const auto& connection : connections_) QObject::disconnect(connection);
}

// --- text field ---

QtTextField::QtTextField(QWidget* widget) : widget_(widget) {
    if (widget) labelColor_ = widget->palette().color(textRole(widget));
    if (auto* label = qobject_cast<QLabel*>(widget)) label->setTextFormat(Qt::PlainText);
}

void QtTextField::setStringValue(const std::string& text) {
    const QString value = toQString(text);
    if (auto* label = qobject_cast<QLabel*>(widget_)) {
        if (label->text() != value) {
            label->setText(value);
            if (label->property(textAsToolTipProperty).toBool()) label->setToolTip(value);
        }
    } else if (auto* lineEdit = qobject_cast<QLineEdit*>(widget_)) {
        if (lineEdit->text() != value) lineEdit->setText(value);
    } else if (auto* textEdit = qobject_cast<QPlainTextEdit*>(widget_)) {
        if (textEdit->toPlainText() != value) {
            // Text that grows at its end (a tool's output) keeps the view at its end.
            auto* scrollBar = textEdit->verticalScrollBar();
            const bool following = scrollBar->value() == scrollBar->maximum();
            textEdit->setPlainText(value);
            if (following) scrollBar->setValue(scrollBar->maximum());
        }
    }
}

void QtTextField::setToolTip(const std::string& text) {
    const QString tip = toQString(text);
    if (widget_ && widget_->toolTip() != tip) widget_->setToolTip(tip);
}

std::string QtTextField::stringValue() const {
    if (auto* label = qobject_cast<QLabel*>(widget_)) return toStdString(label->text());
    if (auto* lineEdit = qobject_cast<QLineEdit*>(widget_)) return toStdString(lineEdit->text());
    if (auto* textEdit = qobject_cast<QPlainTextEdit*>(widget_)) return toStdString(textEdit->toPlainText());
    return {};
}

QColor QtTextField::color(Color color, const QColor& labelColor) {
    switch (color) {
        case Color::systemRed: return QColor(0xd9, 0x30, 0x25);
        case Color::systemGreen: return QColor(0x1e, 0x8e, 0x3e);
        case Color::label: break;
    }
    return labelColor;
}

void QtTextField::setTextColor(Color color) {
    if (!widget_) return;
    const QPalette::ColorRole role = textRole(widget_);
    const QColor wanted = QtTextField::color(color, labelColor_);
    if (widget_->palette().color(role) == wanted) return;
    QPalette palette = widget_->palette();
    palette.setColor(role, wanted);
    widget_->setPalette(palette);
}

QColor QtTextField::textColor() const { return widget_ ? widget_->palette().color(textRole(widget_)) : QColor(); }

// --- slider ---

ControlSlider::ControlSlider(Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent), keyRelease_(new QTimer(this)) {
    QPalette neutral = palette();
    fillColor_ = neutral.color(QPalette::Highlight);
    neutral.setColor(QPalette::Highlight, neutral.color(QPalette::Mid));
    setPalette(neutral);
    keyRelease_->setSingleShot(true);
    keyRelease_->setInterval(keyReleaseGrace);
    connect(keyRelease_, &QTimer::timeout, this, [this] {
        if (!leftButtonDown_) emit leftButtonReleased();
    });
}

void ControlSlider::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    if (hasFocus()) {
        // The style draws no focus on a slider: a ring in the highlight colour around the handle.
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        QPainter ring(this);
        ring.setRenderHint(QPainter::Antialiasing, true);
        ring.setPen(QPen(fillColor_, 2));
        ring.setBrush(Qt::NoBrush);
        ring.drawRoundedRect(QRectF(handle).adjusted(-1.5, -1.5, 1.5, 1.5), 4, 4);
    }
    if (minimum() >= 0 || maximum() <= 0 || value() == 0) return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const bool horizontal = orientation() == Qt::Horizontal;
    const int span = horizontal ? groove.width() - handle.width() : groove.height() - handle.height();
    const int zero = QStyle::sliderPositionFromValue(minimum(), maximum(), 0, span, !horizontal) +
                     (horizontal ? groove.x() + handle.width() / 2 : groove.y() + handle.height() / 2);
    const int at = horizontal ? handle.center().x() : handle.center().y();
    const int thickness = 4;
    const QRect bar =
        horizontal ? QRect(std::min(zero, at), groove.center().y() - thickness / 2 + 1, std::abs(at - zero), thickness)
                   : QRect(groove.center().x() - thickness / 2 + 1, std::min(zero, at), thickness, std::abs(at - zero));
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRegion(QRegion(rect()).subtracted(QRegion(handle)));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fillColor_);
    painter.drawRoundedRect(bar, thickness / 2.0, thickness / 2.0);
}

namespace {

bool movesSlider(int key) {
    switch (key) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End: return true;
        default: return false;
    }
}

}  // namespace

void ControlSlider::keyPressEvent(QKeyEvent* event) {
    // The release just before was a repeat's: the key is still down.
    if (movesSlider(event->key())) keyRelease_->stop();
    QSlider::keyPressEvent(event);
}

void ControlSlider::keyReleaseEvent(QKeyEvent* event) {
    QSlider::keyReleaseEvent(event);
    // A held key repeats as presses and releases; only the last release lets go.
    if (event->isAutoRepeat() || !movesSlider(event->key())) return;
    keyRelease_->start();
}

void ControlSlider::focusOutEvent(QFocusEvent* event) {
    QSlider::focusOutEvent(event);
    keyRelease_->stop();
    if (value() != 0 || leftButtonDown_) {
        leftButtonDown_ = false;
        emit leftButtonReleased();
    }
}

void ControlSlider::wheelEvent(QWheelEvent* event) {
    // A scroll over the window must never set a request.
    event->ignore();
}

void ControlSlider::mousePressEvent(QMouseEvent* event) {
    // Set first: a click on the groove moves the slider inside the base handler.
    if (event->button() == Qt::LeftButton) leftButtonDown_ = true;
    QSlider::mousePressEvent(event);
}

void ControlSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && leftButtonDown_) {
        leftButtonDown_ = false;
        emit leftButtonReleased();
    }
}

QtSlider::QtSlider(ControlSlider* slider) : slider_(slider) {
    slider->setRange(-100, 100);
    slider->setValue(0);
    connections_.add(QObject::connect(slider, &QSlider::valueChanged, slider, [this, slider] {
        if (settingValue_) return;
        send(slider->isLeftButtonDown() ? EventType::leftMouseDragged : EventType::other);
    }));
    connections_.add(
        QObject::connect(slider, &ControlSlider::leftButtonReleased, slider, [this] { send(EventType::leftMouseUp); }));
}

void QtSlider::send(EventType type) {
    if (!action_) return;
    QtCurrentEvent::Scope scope(type);
    const std::function<void()> action = action_;
    action();
}

double QtSlider::doubleValue() const { return slider_ ? slider_->value() : 0.0; }

void QtSlider::setEnabled(bool enabled) {
    if (slider_) slider_->setEnabled(enabled);
}

void QtSlider::setDoubleValue(double value) {
    if (!slider_ || std::isnan(value)) return;
    const int position = int(std::lround(std::clamp(value, double(slider_->minimum()), double(slider_->maximum()))));
    settingValue_ = true;
    slider_->setValue(position);
    settingValue_ = false;
}

// --- popup button ---

QtPopupButton::QtPopupButton(QComboBox* comboBox) : comboBox_(comboBox) {
    connections_.add(QObject::connect(comboBox, &QComboBox::activated, comboBox, [this] {
        if (!action_) return;
        QtCurrentEvent::Scope scope(EventType::leftMouseUp);
        const std::function<void()> action = action_;
        action();
    }));
    // A screen reader chooses an entry by selecting it in the list while the list is not shown
    // (no mouse or key does that): the same choice as a click on it.
    connections_.add(QObject::connect(comboBox->view()->selectionModel(), &QItemSelectionModel::selectionChanged,
                                      comboBox, [comboBox](const QItemSelection& selected) {
                                          if (comboBox->view()->isVisible() || selected.indexes().isEmpty()) return;
                                          const int row = selected.indexes().constFirst().row();
                                          if (row == comboBox->currentIndex()) return;
                                          if (!(comboBox->model()->flags(comboBox->model()->index(row, 0)) &
                                                Qt::ItemIsEnabled)) {
                                              return;
                                          }
                                          comboBox->setCurrentIndex(row);
                                          emit comboBox->activated(row);
                                      }));
}

void QtPopupButton::removeAllItems() {
    if (comboBox_) comboBox_->clear();
}

void QtPopupButton::addItemWithTitle(const std::string& title) {
    if (!comboBox_) return;
    const QString text = toQString(title);
    const int existing = comboBox_->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (existing >= 0) comboBox_->removeItem(existing);
    comboBox_->addItem(text);
}

void QtPopupButton::setTitle(const std::string& title) {
    if (!comboBox_) return;
    const QString text = toQString(title);
    int index = comboBox_->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        comboBox_->addItem(text);
        index = comboBox_->count() - 1;
    }
    comboBox_->setCurrentIndex(index);
}

int QtPopupButton::numberOfItems() const { return comboBox_ ? comboBox_->count() : 0; }

int QtPopupButton::indexOfSelectedItem() const { return comboBox_ ? comboBox_->currentIndex() : -1; }

void QtPopupButton::selectItemAtIndex(int index) {
    if (!comboBox_) return;
    comboBox_->setCurrentIndex(index >= 0 && index < comboBox_->count() ? index : -1);
}

void QtPopupButton::setEnabled(bool enabled) {
    if (comboBox_) comboBox_->setEnabled(enabled);
}

void QtPopupButton::setItemEnabled(int index, bool enabled) {
    if (!comboBox_) return;
    if (auto* model = qobject_cast<QStandardItemModel*>(comboBox_->model())) {
        if (QStandardItem* item = model->item(index)) item->setEnabled(enabled);
    }
}

std::string QtPopupButton::itemTitle(int index) const {
    return comboBox_ && index >= 0 && index < comboBox_->count() ? toStdString(comboBox_->itemText(index))
                                                                 : std::string();
}

bool QtPopupButton::isItemEnabled(int index) const {
    if (!comboBox_) return false;
    auto* model = qobject_cast<QStandardItemModel*>(comboBox_->model());
    QStandardItem* item = model ? model->item(index) : nullptr;
    return item && item->isEnabled();
}

// --- progress indicator ---

QtProgressIndicator::QtProgressIndicator(QProgressBar* bar) : bar_(bar) {
    bar->setRange(0, 100);
    bar->setValue(0);
}

void QtProgressIndicator::setIndeterminate(bool indeterminate) {
    indeterminate_ = indeterminate;
    show();
}

void QtProgressIndicator::setDoubleValue(double value) {
    value_ = value;
    show();
}

void QtProgressIndicator::show() {
    if (!bar_) return;
    if (indeterminate_) {
        bar_->setRange(0, 0);
        bar_->setValue(0);
        return;
    }
    bar_->setRange(0, 100);
    bar_->setValue(std::isnan(value_) ? 0 : int(std::lround(std::clamp(value_, 0.0, 100.0))));
}

// --- button ---

QtButton::QtButton(QPushButton* button) : button_(button) {
    connections_.add(QObject::connect(button, &QPushButton::clicked, button, [this] {
        if (!action_) return;
        QtCurrentEvent::Scope scope(EventType::leftMouseUp);
        const std::function<void()> action = action_;
        action();
    }));
}

QtMenuAction::QtMenuAction(QAction* action) : qAction_(action) {
    connections_.add(QObject::connect(action, &QAction::triggered, action, [this] {
        if (!action_) return;
        const std::function<void()> run = action_;
        run();
    }));
}

void QtMenuAction::setTitle(const std::string& title) {
    if (qAction_) qAction_->setText(toQString(title));
}

void QtMenuAction::setEnabled(bool enabled) {
    if (qAction_ && qAction_->isEnabled() != enabled) qAction_->setEnabled(enabled);
}

void QtButton::setEnabled(bool enabled) {
    if (button_ && button_->isEnabled() != enabled) button_->setEnabled(enabled);
}

void QtButton::setTitle(const std::string& title) {
    if (button_) button_->setText(toQString(title));
}

}  // namespace orvane
