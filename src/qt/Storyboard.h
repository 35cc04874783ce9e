#pragma once

// The window layout: the views of each controller, their outlets and actions, and the outline's
// cell prototypes. This is the one place that decides what the application looks like.

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QSplitter;

namespace orvane {

class ImageCanvas;
class InspectorViewController;
class MasterViewController;
class ModalProgressViewController;
class QtOutlineView;
class UpdateInformationViewController;
class ViewController;

// A dialog shown as a sheet. Escape and the window's close button ask `onReject` (the dialog
// stays open when there is none); the controller that presented it closes it.
class SheetDialog : public QDialog {
    Q_OBJECT
public:
    explicit SheetDialog(QWidget* parent = nullptr);
    std::function<void()> onReject;

public slots:
    void reject() override;
};

// The area that shows the steering wheel: the wheel's image view as the largest square that fits
// under a small fixed pointer that marks straight ahead.
class WheelStage : public QWidget {
    Q_OBJECT
public:
    explicit WheelStage(QWidget* parent = nullptr);
    ImageCanvas* canvas() const { return canvas_; }
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

class Storyboard {
public:
    // The console: the wheel, the two spring-loaded sliders and their labels. Sets the console's
    // outlets and sends the sliders' actions to it.
    static QWidget* makeConsoleView(ViewController& console);

    // The inspector: a title and a value column, the five cell prototypes. Sets the outlet.
    static std::shared_ptr<QtOutlineView> makeInspectorView(InspectorViewController& inspector);

    // The window's content: a splitter that takes the console and the inspector side by side.
    static QSplitter* makeMasterView(MasterViewController& master);
    static void arrangeMasterView(QSplitter& splitter);

    // The progress sheet: a status text over a progress bar.
    static QDialog* makeModalProgressView(ModalProgressViewController& controller);

    // The update dialog: version, release date, release notes, "Not Now" and "Update".
    static QDialog* makeUpdateInformationView(UpdateInformationViewController& controller);

    // Closes a dialog of this storyboard without sending it an answer.
    static void closeWithoutAnswer(QDialog& dialog);
};

}  // namespace orvane
