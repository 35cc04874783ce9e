#include "qt/ReplayTimeline.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QStylePainter>
#include <QToolButton>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "console/RecordingReplay.h"

namespace orvane {

namespace {

QString sliderTip() { return QCoreApplication::translate("ReplayTimeline", "Jump: click or drag"); }

// The slider counts milliseconds of the recording, or tenths of a second in one too long for its
// int to count milliseconds (24.8 days on; the longest recording, 366 days, has 316,224,000 tenths).
double sliderUnitsPerSecond(double duration) { return duration * 1000 <= std::numeric_limits<int>::max() ? 1000 : 10; }

}  // namespace

QString replayTimeText(double seconds) {
    const auto tenths = static_cast<long long>(std::floor(std::max(seconds, 0.0) * 10 + 1e-6));
    const long long hours = tenths / 36000;
    const long long minutes = tenths / 600 % 60;
    const double rest = double(tenths % 600) / 10;
    if (hours > 0) {
        return QStringLiteral("%1:%2:%3").arg(hours).arg(minutes, 2, 10, QChar('0')).arg(rest, 4, 'f', 1, QChar('0'));
    }
    return QStringLiteral("%1:%2").arg(minutes).arg(rest, 4, 'f', 1, QChar('0'));
}

void JumpSlider::setMarks(std::vector<Mark> marks) {
    marks_ = std::move(marks);
    update();
}

int JumpSlider::xOfValue(int value) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = std::max(1, groove.width() - handle.width());
    return groove.x() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(minimum(), maximum(), value, span, option.upsideDown);
}

const JumpSlider::Mark* JumpSlider::markAt(int x) const {
    const Mark* nearest = nullptr;
    int distance = kMarkReach + 1;
    for (const Mark& mark : marks_) {
        const int d = std::abs(xOfValue(mark.value) - x);
        if (d < distance) {
            nearest = &mark;
            distance = d;
        }
    }
    return nearest;
}

bool JumpSlider::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (const Mark* mark = markAt(help->pos().x())) {
            QToolTip::showText(help->globalPos(), mark->text, this);
            return true;
        }
    }
    return QSlider::event(event);
}

void JumpSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        if (const Mark* mark = markAt(int(event->position().x()))) {
            // A click on a mark jumps to the mark itself, not to the pixel clicked.
            setValue(mark->value);
        } else if (!handle.contains(event->position().toPoint())) {
            // The handle's centre goes where the click is, and the press goes on as a drag.
            const int span = std::max(1, groove.width() - handle.width());
            const int x = int(event->position().x()) - groove.x() - handle.width() / 2;
            setValue(QStyle::sliderValueFromPosition(minimum(), maximum(), x, span, option.upsideDown));
        }
    }
    QSlider::mousePressEvent(event);
}

void JumpSlider::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    // The groove, the marks over it, and the handle over them.
    option.subControls = QStyle::SC_SliderGroove;
    if (tickPosition() != NoTicks) option.subControls |= QStyle::SC_SliderTickmarks;
    painter.drawComplexControl(QStyle::CC_Slider, option);
    if (!marks_.empty()) {
        const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
        // Dark on the groove's fill and on its empty part alike; a repeat's paler than a
        // maneuver's, and all paler while disabled.
        QColor major = palette().color(QPalette::WindowText);
        QColor minor = major;
        major.setAlpha(isEnabled() ? 230 : 90);
        minor.setAlpha(isEnabled() ? 140 : 60);
        for (const Mark& mark : marks_) {
            const int x = xOfValue(mark.value);
            if (mark.major) {
                painter.fillRect(QRect(x - 1, 1, 3, height() - 2), major);
            } else {
                painter.fillRect(QRect(x, groove.center().y() - 4, 1, 9), minor);
            }
        }
    }
    option.subControls = QStyle::SC_SliderHandle;
    painter.drawComplexControl(QStyle::CC_Slider, option);
}

ReplayTimeline::ReplayTimeline(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("replayTimeline"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 4, 12, 6);
    layout->setSpacing(8);

    const auto button = [this](QStyle::StandardPixmap icon, const QString& name, const QString& tip) {
        auto* tool = new QToolButton(this);
        tool->setObjectName(name);
        tool->setIcon(style()->standardIcon(icon));
        tool->setToolTip(tip);
        tool->setAccessibleName(tip.section(QStringLiteral(" ("), 0, 0));
        tool->setAutoRaise(true);
        return tool;
    };
    QToolButton* back =
        button(QStyle::SP_MediaSkipBackward, QStringLiteral("replayStepBackButton"), tr("One message back (Left)"));
    playButton_ = button(QStyle::SP_MediaPlay, QStringLiteral("replayPlayButton"), tr("Play (Space)"));
    QToolButton* forward = button(QStyle::SP_MediaSkipForward, QStringLiteral("replayStepForwardButton"),
                                  tr("One message forward (Right)"));

    speedBox_ = new QComboBox(this);
    speedBox_->setObjectName(QStringLiteral("replaySpeedBox"));
    speedBox_->setToolTip(tr("Speed"));
    speedBox_->setAccessibleName(tr("Speed"));
    for (double speed : RecordingReplay::kSpeeds) speedBox_->addItem(QStringLiteral("%1x").arg(speed), speed);
    speedBox_->setCurrentIndex(speedBox_->findData(1.0));

    slider_ = new JumpSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("replaySlider"));
    slider_->setToolTip(sliderTip());
    slider_->setAccessibleName(tr("Timeline"));
    slider_->setMinimumWidth(160);
    timeLabel_ = new QLabel(this);
    timeLabel_->setObjectName(QStringLiteral("replayTimeLabel"));
    wallClockLabel_ = new QLabel(this);
    wallClockLabel_->setObjectName(QStringLiteral("replayWallClockLabel"));
    wallClockLabel_->setToolTip(tr("The wall-clock time at the playhead"));
    closeButton_ = new QPushButton(tr("Close"), this);
    closeButton_->setObjectName(QStringLiteral("replayCloseButton"));
    closeButton_->setToolTip(tr("Close the recording and show the live console again"));

    layout->addWidget(back);
    layout->addWidget(playButton_);
    layout->addWidget(forward);
    layout->addWidget(speedBox_);
    layout->addWidget(slider_, 1);
    layout->addWidget(timeLabel_);
    layout->addWidget(wallClockLabel_);
    layout->addWidget(closeButton_);

    // The keys work wherever the focus is in the window, while the timeline is shown.
    const auto shortcut = [this](const QKeySequence& key, std::function<void()> run) {
        auto* action = new QAction(this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, std::move(run));
        addAction(action);
        return action;
    };
    playAction_ = shortcut(QKeySequence(Qt::Key_Space), [this] {
        if (replay_) replay_->setPlaying(!replay_->isPlaying());
    });
    QAction* stepBack = shortcut(QKeySequence(Qt::Key_Left), [this] {
        if (!replay_) return;
        replay_->stepBackward();
        if (onJump) onJump();
    });
    QAction* stepForward = shortcut(QKeySequence(Qt::Key_Right), [this] {
        if (!replay_) return;
        replay_->stepForward();
        if (onJump) onJump();
    });
    connect(playButton_, &QToolButton::clicked, playAction_, &QAction::trigger);
    connect(back, &QToolButton::clicked, stepBack, &QAction::trigger);
    connect(forward, &QToolButton::clicked, stepForward, &QAction::trigger);
    connect(speedBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (replay_) replay_->setSpeed(speedBox_->itemData(index).toDouble());
    });
    connect(slider_, &QSlider::valueChanged, this, [this](int value) {
        if (!replay_) return;
        replay_->seek(value / sliderUnitsPerSecond_);
        if (onJump) onJump();
    });
    connect(closeButton_, &QPushButton::clicked, this, [this] {
        if (onClose) onClose();
    });
}

void ReplayTimeline::setReplay(std::shared_ptr<RecordingReplay> replay) {
    replay_ = std::move(replay);
    slider_->setMarks({});
    slider_->setToolTip(sliderTip());
    if (!replay_) return;
    {
        const QSignalBlocker blocker(slider_);
        sliderUnitsPerSecond_ = sliderUnitsPerSecond(replay_->duration());
        slider_->setRange(0, sliderPosition(replay_->duration()));
        // Page Up/Down on the slider: 10 s; the arrow keys step messages.
        slider_->setPageStep(int(10 * sliderUnitsPerSecond_));
        slider_->setSingleStep(int(sliderUnitsPerSecond_ / 10));
    }
    std::vector<JumpSlider::Mark> marks;
    for (const ReplayMark& mark : replay_->marks()) {
        const QString maneuver = QString::fromStdString(mark.maneuver), at = replayTimeText(mark.time);
        marks.push_back({sliderPosition(mark.time), mark.maneuverStart,
                         mark.repeat.empty() ? tr("%1 from %2 (click to jump here)").arg(maneuver, at)
                                             : tr("%1, repeat %2 from %3 (click to jump here)")
                                                   .arg(maneuver, QString::fromStdString(mark.repeat), at)});
    }
    if (!marks.empty()) {
        slider_->setToolTip(tr("%1\nThe marks: where each maneuver (tall) and repeat (short) of the recorded suite "
                               "begins; click one to jump to it")
                                .arg(sliderTip()));
    }
    slider_->setMarks(std::move(marks));
    replay_->setSpeed(speedBox_->currentData().toDouble());
    // Wide enough for the longest texts, so that the slider does not move as they change.
    const QFontMetrics metrics = fontMetrics();
    const QString total = replayTimeText(replay_->duration());
    timeLabel_->setMinimumWidth(metrics.horizontalAdvance(total + QStringLiteral(" / ") + total) + 4);
    wallClockLabel_->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("00:00:00.000")) + 4);
    sync();
}

int ReplayTimeline::sliderPosition(double seconds) const {
    const double units = std::round(seconds * sliderUnitsPerSecond_);
    return int(std::clamp(std::isfinite(units) ? units : 0.0, 0.0, double(std::numeric_limits<int>::max())));
}

void ReplayTimeline::sync() {
    if (!replay_) return;
    if (!slider_->isSliderDown()) {
        const QSignalBlocker blocker(slider_);
        slider_->setValue(sliderPosition(replay_->playhead()));
    }
    const bool playing = replay_->isPlaying();
    playButton_->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    playButton_->setToolTip(playing ? tr("Pause (Space)") : tr("Play (Space)"));
    playButton_->setAccessibleName(playing ? tr("Pause") : tr("Play"));
    timeLabel_->setText(replayTimeText(replay_->playhead()) + QStringLiteral(" / ") +
                        replayTimeText(replay_->duration()));
    if (const auto wall = replay_->wallClockTime()) {
        const auto ms = std::chrono::floor<std::chrono::milliseconds>(*wall).time_since_epoch().count();
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
        wallClockLabel_->setText(local.toString(QStringLiteral("HH:mm:ss.zzz")));
        wallClockLabel_->setToolTip(tr("The wall-clock time at the playhead: %1")
                                        .arg(local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))));
    } else {
        wallClockLabel_->setText(tr("no wall-clock time"));
    }
    const int speedIndex = speedBox_->findData(replay_->speed());
    if (speedIndex >= 0 && speedIndex != speedBox_->currentIndex()) {
        const QSignalBlocker blocker(speedBox_);
        speedBox_->setCurrentIndex(speedIndex);
    }
}

}  // namespace orvane
