#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/Object.h"

namespace orvane {

class PlatformViewController;

// A window: its controller and its first responder.
class Window {
public:
    virtual ~Window() = default;
    virtual Object* windowController() = 0;
    virtual void makeFirstResponder(PlatformViewController* responder) = 0;
};

struct StoryboardSegue {
    std::string identifier;
    std::shared_ptr<PlatformViewController> sourceController;
    std::shared_ptr<PlatformViewController> destinationController;
};

// An alert with a message, an informative text and an optional named icon.
struct Alert {
    std::string messageText;
    std::string informativeText;
    std::optional<std::string> iconName;
    std::optional<std::string> detailedText;  // shown collapsed
};

// What the toolkit does for a view controller. The Qt front end implements it with windows and
// dialogs; tests implement it with a recording fake.
class ViewHost {
public:
    virtual ~ViewHost() = default;

    // Creates the views of `controller` and connects its outlets.
    virtual void loadView(PlatformViewController& controller) = 0;

    // Creates the destination of the segue named `identifier`, lets the source prepare it
    // (prepareForSegue with `sender`) and presents it. An unknown identifier is a programming error.
    virtual void performSegue(PlatformViewController& source, const std::string& identifier,
                              const std::shared_ptr<Object>& sender) = 0;

    // Dismisses a controller that `presenter` presented.
    virtual void dismissViewController(PlatformViewController& presenter, PlatformViewController& presented) = 0;

    // The window the controller's view is in, or none.
    virtual Window* window(PlatformViewController& controller) = 0;

    // Presents an error: message text = its description, informative text = its recovery
    // suggestion; as a sheet on the controller's window, or application-modally.
    virtual void presentError(PlatformViewController& controller, const ErrorRef& error, bool asSheetOnWindow) = 0;

    // Shows an alert, as a sheet on the controller's window or application-modally; `completion`
    // runs when the user has dismissed it.
    virtual void showAlert(PlatformViewController& controller, const Alert& alert, bool asSheetOnWindow,
                           std::function<void()> completion) = 0;
};

// Base of the console's view controllers: the lifecycle calls, the parent, segues, dismissal,
// the window and error presentation, all through the host that the front end (or a test) sets.
class PlatformViewController : public Object, public std::enable_shared_from_this<PlatformViewController> {
public:
    ~PlatformViewController() override = default;

    // The host is held weakly: it owns the controllers it presents, and it outlives them.
    void setHost(const std::shared_ptr<ViewHost>& host) { host_ = host; }
    std::shared_ptr<ViewHost> host() const { return host_.lock(); }

    // Loads the view once (the host creates it and connects the outlets), then viewDidLoad.
    void loadViewIfNeeded();
    bool isViewLoaded() const { return viewLoaded_; }

    virtual void viewDidLoad() {}
    virtual void viewWillAppear() {}
    virtual void viewDidAppear() {}

    virtual void prepareForSegue(const StoryboardSegue& segue, Object* sender);

    void performSegueWithIdentifier(const std::string& identifier, const std::shared_ptr<Object>& sender);
    void dismissViewController(PlatformViewController& presented);

    std::shared_ptr<PlatformViewController> parentViewController() const { return parent_.lock(); }
    void setParentViewController(const std::shared_ptr<PlatformViewController>& parent) { parent_ = parent; }

    Window* window();

    void presentError(const ErrorRef& error);                // application-modal
    void presentErrorModalForWindow(const ErrorRef& error);  // as a sheet on the window
    void showAlert(const Alert& alert, bool asSheetOnWindow, std::function<void()> completion);

private:
    std::weak_ptr<ViewHost> host_;
    std::weak_ptr<PlatformViewController> parent_;
    bool viewLoaded_ = false;
};

}  // namespace orvane
