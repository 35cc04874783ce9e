#pragma once

#include <memory>

namespace orvane {

class InspectorViewController;
class QtOutlineView;

// The inspector's view: an outline with a title and a value column and the five cell
// prototypes. Sets the inspector's outline.
std::shared_ptr<QtOutlineView> makeInspectorView(InspectorViewController& inspector);

}  // namespace orvane
