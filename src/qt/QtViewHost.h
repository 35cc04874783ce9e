#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ViewControllerBase.h"

class QDialog;
class QMessageBox;

namespace orvane {

// A top-level Qt window as the controllers see it: its window controller (the main window's is
// a MainWindowController; dialogs have none) and the controller that is its first responder.
class QtWindow : public Window {
public:
    QtWindow(QWidget* widget, Object* windowController) : widget_(widget), windowController_(windowController) {}

    Object* windowController() override { return windowController_; }
    void makeFirstResponder(PlatformViewController* responder) override;

    // The controller that was last made first responder, while it lives.
    std::shared_ptr<PlatformViewController> firstResponder() const { return firstResponder_.lock(); }
    QWidget* widget() const { return widget_; }

private:
    QPointer<QWidget> widget_;
    Object* windowController_;
    std::weak_ptr<PlatformViewController> firstResponder_;
};

// The toolkit side of the view controllers: it builds each controller's views (the layout lives
// in the view files), performs the three segues, presents and dismisses sheets, and shows alerts.
//
// Segues:
// - "Embed Inspector": a new InspectorViewController, embedded beside the console in the
//   MasterViewController's view as its child.
// - "Modal Progress": a new ModalProgressViewController, shown as a window-modal sheet.
// - "Software Update Information": a new UpdateInformationViewController, shown as a
//   window-modal dialog.
// Sheets and alerts never block: they open, and whatever follows runs when they finish.
class QtViewHost : public ViewHost, public std::enable_shared_from_this<QtViewHost> {
public:
    QtViewHost();
    ~QtViewHost() override;

    // The main window and its controller (held for the life of the host).
    void setMainWindow(QWidget* window, std::shared_ptr<Object> windowController);
    QtWindow* mainWindow() { return mainWindow_.get(); }

    // Places `child`'s view in `parent`'s view (the console beside the inspector) and makes it
    // `parent`'s child controller; loads the child's view first if needed.
    void addChildViewController(PlatformViewController& parent, const std::shared_ptr<PlatformViewController>& child,
                                int position);

    void loadView(PlatformViewController& controller) override;
    void performSegue(PlatformViewController& source, const std::string& identifier,
                      const std::shared_ptr<Object>& sender) override;
    void dismissViewController(PlatformViewController& presenter, PlatformViewController& presented) override;
    Window* window(PlatformViewController& controller) override;
    void presentError(PlatformViewController& controller, const ErrorRef& error, bool asSheetOnWindow) override;
    void showAlert(PlatformViewController& controller, const Alert& alert, bool asSheetOnWindow,
                   std::function<void()> completion) override;

    // The widget of a controller's view, or null before it is loaded.
    QWidget* viewOf(const PlatformViewController& controller) const;
    // What `presenter` has presented and not yet dismissed, oldest first.
    std::vector<std::shared_ptr<PlatformViewController>> presentedViewControllers(
        const PlatformViewController& presenter) const;

    // Lets go of every controller the host holds (they hold the host in turn).
    void releaseControllers();

private:
    struct Record {
        std::weak_ptr<PlatformViewController> controller;
        QPointer<QWidget> view;
        std::vector<std::shared_ptr<void>> resources;  // adapters the controller holds only weakly
        std::vector<std::shared_ptr<PlatformViewController>> children;
        std::vector<std::shared_ptr<PlatformViewController>> presented;
    };

    Record& record(const PlatformViewController& controller);
    const Record* findRecord(const PlatformViewController& controller) const;
    void forgetExpiredRecords();
    QWidget* windowWidgetFor(PlatformViewController& controller) const;
    void present(PlatformViewController& source, const std::shared_ptr<PlatformViewController>& destination);
    void embed(PlatformViewController& source, const std::shared_ptr<PlatformViewController>& destination,
               int position);
    void openMessageBox(QMessageBox* box, PlatformViewController& controller, bool asSheetOnWindow);

    std::map<const PlatformViewController*, Record> records_;
    std::unique_ptr<QtWindow> mainWindow_;
    std::shared_ptr<Object> mainWindowController_;
    std::map<QWidget*, std::unique_ptr<QtWindow>> otherWindows_;
};

}  // namespace orvane
