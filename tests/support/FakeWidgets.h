#pragma once

// Recording fakes of the platform's widget interfaces, for tests without a window. Each fake
// keeps its current state in public fields and every call made on it in public vectors, in
// order; tests read them directly. Everything runs on the test's main thread.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inspector/ActionTableCellView.h"
#include "platform/Error.h"
#include "platform/OutlineView.h"
#include "platform/ViewControllerBase.h"
#include "platform/Widgets.h"

namespace orvane {

class FakeTextField : public TextField {
public:
    FakeTextField() = default;
    explicit FakeTextField(std::string initialValue) : value(std::move(initialValue)) {}

    void setStringValue(const std::string& text) override {
        value = text;
        stringValues.push_back(text);
    }
    std::string stringValue() const override { return value; }
    void setTextColor(Color color) override {
        textColor = color;
        textColors.push_back(color);
    }
    void setToolTip(const std::string& text) override { toolTip = text; }

    std::string value;
    std::optional<std::string> toolTip;     // none until set
    std::optional<Color> textColor;         // none until set
    std::vector<std::string> stringValues;  // every setStringValue
    std::vector<Color> textColors;          // every setTextColor
};

class FakeSlider : public Slider {
public:
    double doubleValue() const override { return value; }
    void setDoubleValue(double newValue) override {
        value = newValue;
        doubleValues.push_back(newValue);
    }

    void setEnabled(bool newEnabled) override { enabled = newEnabled; }

    double value = 0;
    std::vector<double> doubleValues;  // every setDoubleValue
    bool enabled = true;
};

// A popup button. Adding an entry to a popup with no selection selects it (as a popup does);
// removing all entries leaves nothing selected; selecting an index outside the entries selects
// nothing. setTitle only records the shown title.
class FakePopupButton : public PopupButton {
public:
    struct Item {
        std::string title;
        bool enabled = true;
    };

    void removeAllItems() override;
    void addItemWithTitle(const std::string& itemTitle) override;
    void setTitle(const std::string& newTitle) override;
    int numberOfItems() const override { return static_cast<int>(items.size()); }
    int indexOfSelectedItem() const override { return selectedIndex; }
    void selectItemAtIndex(int index) override;
    void setItemEnabled(int index, bool enabled) override;
    void setEnabled(bool newEnabled) override { enabled = newEnabled; }

    std::vector<std::string> itemTitles() const;
    bool enabled = true;

    std::vector<Item> items;
    int selectedIndex = -1;
    std::optional<std::string> title;  // the last setTitle
    // Every call, in order: "removeAllItems", "addItemWithTitle:<t>", "setTitle:<t>",
    // "selectItemAtIndex:<i>", "setItemEnabled:<i>:<0|1>".
    std::vector<std::string> calls;
};

class FakeImageView : public ImageView {
public:
    void setImageNamed(const std::string& name) override {
        imageName = name;
        imageNames.push_back(name);
    }
    Rect frame() const override { return frameRect; }
    void setAnchorPoint(Point anchor) override {
        anchorPoint = anchor;
        anchorPoints.push_back(anchor);
    }
    void setTransform(const Transform3D& newTransform) override {
        transform = newTransform;
        transforms.push_back(newTransform);
    }
    void setAlphaValue(double newAlpha) override { alpha = newAlpha; }

    std::optional<std::string> imageName;  // none until set
    std::vector<std::string> imageNames;
    Rect frameRect;  // what frame() answers; tests set it
    std::optional<Point> anchorPoint;
    std::vector<Point> anchorPoints;
    std::optional<Transform3D> transform;
    std::vector<Transform3D> transforms;
    double alpha = 1.0;
};

class FakeProgressIndicator : public ProgressIndicator {
public:
    void setIndeterminate(bool newIndeterminate) override {
        indeterminate = newIndeterminate;
        indeterminateValues.push_back(newIndeterminate);
    }
    void setDoubleValue(double newValue) override {
        value = newValue;
        doubleValues.push_back(newValue);
    }

    std::optional<bool> indeterminate;  // none until set
    double value = 0;
    std::vector<bool> indeterminateValues;
    std::vector<double> doubleValues;
};

class FakeButton : public Button {
public:
    void setTitle(const std::string& newTitle) override {
        title = newTitle;
        titles.push_back(newTitle);
    }
    void setAction(std::function<void()> newAction) override {
        action = std::move(newAction);
        ++setActionCount;
    }
    void setEnabled(bool newEnabled) override { enabled = newEnabled; }
    bool enabled = true;

    // Presses the button as a user would: runs its action, if it has one. Returns whether it had one.
    bool press() {
        ++pressCount;
        if (!action) return false;
        auto current = action;  // the action may replace itself
        current();
        return true;
    }

    std::string title;
    std::vector<std::string> titles;
    std::function<void()> action;
    int setActionCount = 0;
    int pressCount = 0;
};

// A table cell view with an optional text field and an optional image view.
class FakeTableCellView : public TableCellView {
public:
    explicit FakeTableCellView(bool withTextField = true, bool withImageView = false)
        : text(withTextField ? std::make_shared<FakeTextField>() : nullptr),
          image(withImageView ? std::make_shared<FakeImageView>() : nullptr) {}

    TextField* textField() override { return text.get(); }
    ImageView* imageView() override { return image.get(); }

    std::shared_ptr<FakeTextField> text;   // none: the cell has no text field
    std::shared_ptr<FakeImageView> image;  // none: the cell has no image view
};

// An action cell view: an optional text field and an optional button.
class FakeActionTableCellView : public ActionTableCellView {
public:
    explicit FakeActionTableCellView(bool withTextField = true, bool withButton = true)
        : text(withTextField ? std::make_shared<FakeTextField>() : nullptr),
          pushButton(withButton ? std::make_shared<FakeButton>() : nullptr) {}

    TextField* textField() override { return text.get(); }
    ImageView* imageView() override { return nullptr; }
    Button* button() override { return pushButton.get(); }

    std::shared_ptr<FakeTextField> text;
    std::shared_ptr<FakeButton> pushButton;
};

class FakeRowView : public RowView {
public:
    explicit FakeRowView(bool initialGroupRowStyle = false) : groupRowStyle(initialGroupRowStyle) {}
    bool isGroupRowStyle() const override { return groupRowStyle; }
    void setGroupRowStyle(bool newStyle) override {
        groupRowStyle = newStyle;
        groupRowStyles.push_back(newStyle);
    }

    bool groupRowStyle;
    std::vector<bool> groupRowStyles;  // every setGroupRowStyle
};

// An outline view. It records every call in order and makes cell views from prototypes
// registered by identifier; an unknown identifier makes no view. The helpers at the end ask the
// data source and delegate the way the real outline does.
class FakeOutlineView : public OutlineView {
public:
    struct Call {
        enum class Kind {
            setDataSource,
            setDelegate,
            expandItem,
            setAutoresizesOutlineColumn,
            beginUpdates,
            endUpdates,
            reloadItem,
            reloadData,
            makeView,
        };
        Call(Kind callKind, Object* callItem = nullptr, bool callFlag = false, std::string callIdentifier = {})
            : kind(callKind), item(callItem), flag(callFlag), identifier(std::move(callIdentifier)) {}

        Kind kind;
        Object* item;            // expandItem, reloadItem; the owner for makeView
        bool flag;               // expandChildren, autoresizes
        std::string identifier;  // makeView
    };
    using Kind = Call::Kind;

    struct MadeView {
        std::string identifier;
        Object* owner = nullptr;
        std::shared_ptr<TableCellView> view;  // none when the identifier is unknown
    };

    using Prototype = std::function<std::shared_ptr<TableCellView>()>;

    void setDataSource(OutlineViewDataSource* newDataSource) override;
    void setDelegate(OutlineViewDelegate* newDelegate) override;
    void expandItem(Object* item, bool expandChildren) override;
    void setAutoresizesOutlineColumn(bool autoresizes) override;
    void beginUpdates() override;
    void endUpdates() override;
    void reloadItem(Object* item) override;
    void reloadData() override;
    std::shared_ptr<TableCellView> makeViewWithIdentifier(const std::string& identifier, Object* owner) override;

    void registerPrototype(const std::string& identifier, Prototype prototype);
    // The inspector's prototypes: "Title Cell", "Group Cell" and "Text Value Cell" (a text
    // field), "Indicator Text Value Cell" (image view and text field) and "Action Text Value
    // Cell" (an action cell with text field and button).
    void registerInspectorPrototypes();

    // The calls of one kind, and all kinds in order.
    std::vector<Call> callsOf(Kind kind) const;
    std::vector<Kind> callKinds() const;
    // The items of the reloadItem calls, in order.
    std::vector<Object*> reloadedItems() const;
    void clearCalls() {
        calls.clear();
        madeViews.clear();
    }

    // Every row below `item` (none: the root), depth first, as if everything were expanded.
    std::vector<Object*> rows(Object* item = nullptr) const;
    // Asks the delegate for the cell view of a column (none: the full-width group cell).
    std::shared_ptr<TableCellView> viewFor(const std::optional<std::string>& columnIdentifier, Object* item);

    OutlineViewDataSource* dataSource = nullptr;
    OutlineViewDelegate* delegate = nullptr;
    std::map<std::string, Prototype> prototypes;
    std::vector<Call> calls;
    std::vector<MadeView> madeViews;
};

class FakeWindow : public Window {
public:
    Object* windowController() override { return controller; }
    void makeFirstResponder(PlatformViewController* responder) override { firstResponders.push_back(responder); }

    Object* controller = nullptr;                          // what windowController() answers
    std::vector<PlatformViewController*> firstResponders;  // every makeFirstResponder
};

// The toolkit's side of view controllers. Segues create their destination from a factory
// registered by identifier, let the source prepare it and then show it (load its view and run
// viewWillAppear and viewDidAppear, unless `appearDestinations` is false). Dismissals, errors
// and alerts are recorded; alert completions run only when a test asks for it.
class FakeViewHost : public ViewHost {
public:
    using DestinationFactory = std::function<std::shared_ptr<PlatformViewController>()>;

    struct PerformedSegue {
        PlatformViewController* source = nullptr;
        std::string identifier;
        bool hadSender = false;
        std::weak_ptr<Object> sender;                         // held weakly: the host keeps no sender after the segue
        std::shared_ptr<PlatformViewController> destination;  // none for an unknown identifier
    };
    struct Dismissal {
        PlatformViewController* presenter = nullptr;
        PlatformViewController* presented = nullptr;
    };
    struct PresentedError {
        PlatformViewController* controller = nullptr;
        ErrorRef error;
        bool asSheetOnWindow = false;
    };
    struct ShownAlert {
        PlatformViewController* controller = nullptr;
        Alert alert;
        bool asSheetOnWindow = false;
        std::function<void()> completion;
        bool completed = false;
    };

    void loadView(PlatformViewController& controller) override;
    void performSegue(PlatformViewController& source, const std::string& identifier,
                      const std::shared_ptr<Object>& sender) override;
    void dismissViewController(PlatformViewController& presenter, PlatformViewController& presented) override;
    Window* window(PlatformViewController& controller) override;
    void presentError(PlatformViewController& controller, const ErrorRef& error, bool asSheetOnWindow) override;
    void showAlert(PlatformViewController& controller, const Alert& alert, bool asSheetOnWindow,
                   std::function<void()> completion) override;

    void registerDestination(const std::string& identifier, DestinationFactory factory);

    // Dismisses alert `index` as the user would: runs its completion once. False when there is
    // no such alert or it was already completed.
    bool completeAlert(std::size_t index);

    // Setup.
    std::map<std::string, DestinationFactory> destinationFactories;
    std::function<void(PlatformViewController&)> onLoadView;  // connects outlets, if set
    std::shared_ptr<FakeWindow> fakeWindow;                   // window() of every controller; none: no window
    bool appearDestinations = true;
    bool throwOnUnknownSegue = true;  // std::out_of_range after recording the attempt

    // Records.
    std::vector<PlatformViewController*> loadedViews;
    std::vector<PerformedSegue> performedSegues;
    std::vector<std::shared_ptr<PlatformViewController>> presented;  // shown destinations, in order
    std::vector<Dismissal> dismissals;
    std::vector<PresentedError> presentedErrors;
    std::vector<ShownAlert> alerts;
};

}  // namespace orvane
