#pragma once

#include <QDialog>
#include <functional>

namespace orvane {

// A dialog shown as a sheet. Escape and the window's close button ask `onReject` (the dialog
// stays open when there is none); the controller that presented it closes it.
class SheetDialog : public QDialog {
    Q_OBJECT
public:
    explicit SheetDialog(QWidget* parent = nullptr);
    std::function<void()> onReject;

    // Closes a dialog without sending it an answer.
    static void closeWithoutAnswer(QDialog& dialog);

public slots:
    void reject() override;

protected:
    // The window manager's close (the title bar, Alt+F4) asks the same as Escape.
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace orvane
