#pragma once

#include <QObject>

class QWidget;

namespace orvane {

// Names for a screen reader the parts Qt builds inside the console's controls, which have no text
// of their own: a scroll bar ("Vertical scroll bar"), the list a combo box drops down (the combo
// box's own name, or its tool tip, + " choices"), a tool bar's overflow button ("More tools").
// The console's own controls are named where they are made; a name already given is kept.
// Installed once on the application, it names each widget as it is first shown.
class AccessibleNaming : public QObject {
public:
    using QObject::QObject;
    static void install();
    // Names `widget` when it is one of the parts above and has no name yet.
    static void name(QWidget& widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace orvane
