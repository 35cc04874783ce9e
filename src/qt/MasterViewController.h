#pragma once

#include <memory>

#include "platform/ViewControllerBase.h"

namespace orvane {

class InspectorViewController;

// The window's root content controller: it holds the embedded inspector beside the console.
// The application hands the inspector it embeds to the console.
class MasterViewController : public PlatformViewController {
public:
    std::shared_ptr<InspectorViewController> inspector;

    // "Embed Inspector" sets `inspector` to its destination (none when that is not an inspector).
    void prepareForSegue(const StoryboardSegue& segue, Object* sender) override;
};

inline constexpr const char* EmbedInspectorSegue = "Embed Inspector";

}  // namespace orvane
