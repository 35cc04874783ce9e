#pragma once

#include <QSlider>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace orvane {

class RecordingReplay;

// A slider that jumps to where it is clicked, instead of paging towards it, with marks along its
// groove: a click within kMarkReach pixels of a mark jumps to the mark itself, and hovering one
// names it in a tooltip.
class JumpSlider : public QSlider {
    Q_OBJECT
public:
    using QSlider::QSlider;

    struct Mark {
        int value = 0;       // the slider's value at the mark
        bool major = false;  // drawn across the whole slider (else short, over the groove)
        QString text;        // its tooltip
    };
    static constexpr int kMarkReach = 4;

    void setMarks(std::vector<Mark> marks);
    const std::vector<Mark>& marks() const { return marks_; }
    // The x at which the handle's centre stands for `value`, in the slider's coordinates.
    int xOfValue(int value) const;

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The mark nearest to `x` within kMarkReach, if any.
    const Mark* markAt(int x) const;

    std::vector<Mark> marks_;
};

// The replay's timeline, shown under the views while a recording is open: play/pause (Space),
// step one message back and forward (Left, Right), the speed, a slider to jump by click or drag
// with a mark where each maneuver (tall) and repeat (short) of a recorded suite begins, the
// elapsed and total time, the wall-clock time of the playhead, and Close.
//
// It only forwards what the user does to the replay and shows the replay's state when it changes.
class ReplayTimeline : public QWidget {
    Q_OBJECT
public:
    explicit ReplayTimeline(QWidget* parent = nullptr);

    // The replay to show and drive; none hides nothing by itself (the owner hides the timeline).
    void setReplay(std::shared_ptr<RecordingReplay> replay);
    // Shows the replay's playhead, state and speed.
    void sync();

    // Runs when Close is pressed.
    std::function<void()> onClose;
    // Runs after the user moved the playhead (a jump or a step).
    std::function<void()> onJump;

    JumpSlider* slider() const { return slider_; }
    QLabel* timeLabel() const { return timeLabel_; }
    QLabel* wallClockLabel() const { return wallClockLabel_; }

private:
    // The slider's position of a time on the recording's axis.
    int sliderPosition(double seconds) const;

    std::shared_ptr<RecordingReplay> replay_;
    double sliderUnitsPerSecond_ = 1000;
    QToolButton* playButton_ = nullptr;
    QComboBox* speedBox_ = nullptr;
    JumpSlider* slider_ = nullptr;
    QLabel* timeLabel_ = nullptr;
    QLabel* wallClockLabel_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QAction* playAction_ = nullptr;
};

// Seconds as the timeline shows them: "m:ss.s", or "h:mm:ss.s" from an hour on.
QString replayTimeText(double seconds);

}  // namespace orvane
