#pragma once

#include <QWidget>
#include <functional>

namespace orvane {

class ImageCanvas;
class ViewController;

// The area that shows the steering wheel: the wheel's image view as the largest square that fits
// under a small fixed pointer that marks straight ahead.
class WheelStage : public QWidget {
    Q_OBJECT
public:
    explicit WheelStage(QWidget* parent = nullptr);
    ImageCanvas* canvas() const { return canvas_; }
    // The angle the wheel shows, in degrees: a screen reader reads it as the wheel's value.
    std::function<double()> angle;
    QSize sizeHint() const override { return {360, 360}; }
    QSize minimumSizeHint() const override { return {200, 200}; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int pointerHeight = 12;
    static constexpr int maximumSide = 420;
    ImageCanvas* canvas_;
    int pointerTop_ = 0;
};

// The console's view: the wheel, the two spring-loaded sliders and their labels. Sets the
// console's outlets and sends the sliders' actions to it.
QWidget* makeConsoleView(ViewController& console);

}  // namespace orvane
