#include "qt/SheetDialog.h"

#include <QCloseEvent>
#include <QEvent>
#include <QMainWindow>
#include <QPainter>
#include <QPointer>

namespace orvane {

namespace {

// Keeps a sheet at the top of its window's content, centred, and draws its frame.
class SheetPlacement : public QObject {
public:
    static constexpr const char* kName = "sheetPlacement";

    static SheetPlacement* of(QDialog& sheet) {
        // Not a Q_OBJECT class: found by its name, not its type.
        return static_cast<SheetPlacement*>(sheet.findChild<QObject*>(kName, Qt::FindDirectChildrenOnly));
    }

    SheetPlacement(QDialog& sheet, QWidget& window) : QObject(&sheet), sheet_(sheet), window_(&window) {
        setObjectName(kName);
        sheet.installEventFilter(this);
        window.installEventFilter(this);
    }

    void place() {
        if (!window_) return;
        // Below the menu bar and toolbar of a main window, else at the top of the window.
        int top = 0;
        if (auto* main = qobject_cast<QMainWindow*>(window_.data()); main && main->centralWidget()) {
            top = main->centralWidget()->mapTo(main, QPoint(0, 0)).y();
        }
        const QPoint origin = window_->mapToGlobal(QPoint(0, 0));
        sheet_.move(origin.x() + (window_->width() - sheet_.width()) / 2, origin.y() + top);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (watched == window_ && (type == QEvent::Move || type == QEvent::Resize)) {
            place();
        } else if (watched == &sheet_ && (type == QEvent::Show || type == QEvent::Resize)) {
            place();
        } else if (watched == &sheet_ && type == QEvent::Paint && sheet_.windowFlags() & Qt::FramelessWindowHint) {
            QPainter painter(&sheet_);
            painter.setPen(sheet_.palette().color(QPalette::Dark));
            painter.drawRect(sheet_.rect().adjusted(0, 0, -1, -1));
        }
        return false;
    }

private:
    QDialog& sheet_;
    QPointer<QWidget> window_;
};

}  // namespace

Qt::WindowFlags sheetWindowFlags() { return Qt::Dialog | Qt::FramelessWindowHint; }

void openOverWindow(QDialog& dialog, QWidget* window, Qt::WindowModality modality) {
    SheetPlacement* placement = SheetPlacement::of(dialog);
    if (window) {
        window = window->window();
        if (dialog.parentWidget() != window) dialog.setParent(window, dialog.windowFlags());
        if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        if (!placement) placement = new SheetPlacement(dialog, *window);
    }
    dialog.setWindowModality(modality);
    dialog.show();
    if (placement) placement->place();
    dialog.raise();
    dialog.activateWindow();
}

SheetDialog::SheetDialog(QWidget* parent) : QDialog(parent, sheetWindowFlags()) {}

void SheetDialog::reject() {
    if (!onReject) return;
    const std::function<void()> handler = onReject;
    handler();
}

void SheetDialog::closeEvent(QCloseEvent* event) {
    // Only the presenting controller closes the sheet; a request from outside is an answer at
    // most, never a close that would leave the controller waiting on a sheet that is gone.
    event->ignore();
    reject();
}

void SheetDialog::closeWithoutAnswer(QDialog& dialog) {
    if (auto* sheet = qobject_cast<SheetDialog*>(&dialog)) sheet->onReject = nullptr;
    dialog.done(QDialog::Rejected);
}

}  // namespace orvane
