#pragma once

#include <QDialog>
#include <functional>

namespace orvane {

// The window flags of a sheet: a dialog without a title bar. A window manager minimises a modal
// dialog together with the window it belongs to (openbox hides the whole application, with no
// button left on screen to bring it back), and window flags cannot take the minimise button
// off a title bar there: a sheet without one cannot be minimised on its own.
Qt::WindowFlags sheetWindowFlags();

// Shows `dialog` as a sheet of `window`: its parent from now on (keeping the dialog's own window
// flags), modal, placed at the top of the window's content and centred on it, following the
// window as it moves. A minimised `window` comes back, and the sheet is raised and activated, so
// that it never opens unseen behind another window. A sheet without a title bar is framed.
void openOverWindow(QDialog& dialog, QWidget* window, Qt::WindowModality modality = Qt::WindowModal);

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
    // The window manager's close (Alt+F4) asks the same as Escape.
    void closeEvent(QCloseEvent* event) override;
};

}  // namespace orvane
