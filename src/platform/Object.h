#pragma once

namespace orvane {

// Common base of everything that travels through the platform layer without a static type:
// notification objects, segue senders and destinations, outline items, cell-view owners.
// Receivers find the real type with dynamic_cast.
class Object {
public:
    virtual ~Object() = default;
};

}  // namespace orvane
