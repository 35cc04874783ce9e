#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "inspector/DeviceGroup.h"
#include "inspector/InspectorItem.h"
#include "inspector/StatisticsGroup.h"
#include "inspector/SteeringGroup.h"
#include "inspector/VehicleGroup.h"

namespace orvane {

// The inspector's model: every row, held in four groups, and the group rows that the inspector
// shows. Made, read and written on the main thread.
class InspectorManager {
public:
    InspectorManager() = default;

    InspectorManager(const InspectorManager&) = delete;
    InspectorManager& operator=(const InspectorManager&) = delete;

    // "Device", "Steering" and "Statistics", built on the first read; every later read gives the
    // same rows. The vehicle rows have no group row.
    const std::vector<std::shared_ptr<InspectorItem>>& groups();

    const StatisticsGroup& statistics() const { return statistics_; }
    const DeviceGroup& device() const { return device_; }
    const SteeringGroup& steering() const { return steering_; }
    const VehicleGroup& vehicle() const { return vehicle_; }

private:
    std::optional<std::vector<std::shared_ptr<InspectorItem>>> groups_;
    // Declared in the order in which the rows are built.
    StatisticsGroup statistics_;
    DeviceGroup device_;
    SteeringGroup steering_;
    VehicleGroup vehicle_;
};

}  // namespace orvane
