#pragma once

// The small interfaces through which the console's logic reaches widgets. The Qt front end
// implements them with real widgets; the tests implement them with fakes that record what was
// done to them. Every method runs on the main thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Object.h"
#include "platform/Transform3D.h"

namespace orvane {

enum class Color { label, systemRed, systemGreen };

class TextField : public Object {
public:
    virtual void setStringValue(const std::string& text) = 0;
    virtual std::string stringValue() const = 0;
    virtual void setTextColor(Color color) = 0;
    // What the field shows when the pointer rests on it (or it is clicked, where the front end
    // does that): the whole text, or more than the text says.
    virtual void setToolTip(const std::string& text) = 0;
};

class Slider : public Object {
public:
    virtual double doubleValue() const = 0;
    virtual void setDoubleValue(double value) = 0;
    virtual void setEnabled(bool enabled) = 0;
};

// A popup button and its menu: entries by index, entry 0 first.
class PopupButton : public Object {
public:
    virtual void removeAllItems() = 0;
    virtual void addItemWithTitle(const std::string& title) = 0;
    virtual void setTitle(const std::string& title) = 0;
    virtual int numberOfItems() const = 0;
    virtual int indexOfSelectedItem() const = 0;  // -1 when nothing is selected
    virtual void selectItemAtIndex(int index) = 0;
    virtual void setItemEnabled(int index, bool enabled) = 0;  // the menu item at index
    virtual void setEnabled(bool enabled) = 0;                 // the whole button
};

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    double x = 0, y = 0, width = 0, height = 0;
};

// An image view with a layer: a named image, and the layer's anchor point and 3-D transform.
class ImageView : public Object {
public:
    virtual void setImageNamed(const std::string& name) = 0;
    virtual Rect frame() const = 0;
    virtual void setAnchorPoint(Point anchor) = 0;
    virtual void setTransform(const Transform3D& transform) = 0;
    // How opaque the picture is drawn, from 0 (not at all) to 1 (fully); a faded picture shows
    // what no longer holds.
    virtual void setAlphaValue(double alpha) = 0;
};

class ProgressIndicator : public Object {
public:
    virtual void setIndeterminate(bool indeterminate) = 0;
    virtual void setDoubleValue(double value) = 0;  // 0 to 100
};

// A push button; its action is a callback (the target and selector of the platform).
class Button : public Object {
public:
    virtual void setTitle(const std::string& title) = 0;
    virtual void setAction(std::function<void()> action) = 0;
    // A disabled button cannot be pressed.
    virtual void setEnabled(bool enabled) = 0;
};

// A cell view of a table or outline: an optional text field and an optional image view.
class TableCellView : public Object {
public:
    virtual TextField* textField() = 0;
    virtual ImageView* imageView() = 0;
};

// The kind of event the application is handling now (sliders ask whether it is a release).
enum class EventType { leftMouseUp, leftMouseDragged, leftMouseDown, other };

// The application's current event, as the front end knows it; none outside event handling.
std::optional<EventType> currentEventType();
void setCurrentEventTypeProvider(std::function<std::optional<EventType>()> provider);

}  // namespace orvane
