#pragma once

#include <memory>

#include "inspector/DateFormatter.h"
#include "inspector/NumberFormatter.h"
#include "inspector/SpeedFormatter.h"

namespace orvane {

// The formatters that the inspector's rows share, each made once on first use.

// CAN message counts: whole numbers without grouping, in the user's locale.
const std::shared_ptr<const NumberFormatter>& messageCountFormatter();

// The firmware build date: short date and short time in the user's locale and time zone.
const std::shared_ptr<const DateFormatter>& buildDateFormatter();

// The vehicle speed, in the unit of the user's locale.
const std::shared_ptr<const SpeedFormatter>& speedFormatter();

}  // namespace orvane
