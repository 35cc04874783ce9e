#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "maneuver/ManeuverResults.h"
#include "maneuver/ManeuverRunner.h"
#include "maneuver/ManeuverSuite.h"

namespace orvane {

// Text for HTML: & < > " ' as character references.
std::string htmlEscaped(std::string_view text);

// The report of a run as one self-contained HTML page: inline CSS and SVG charts, no script and
// nothing fetched. Per maneuver it overlays the requested and measured curves of every repeat
// (request, wheel angle, assist torque, driver torque, and the channel's control method as a
// band) and tabulates each repeat's response metrics; the head names the file, the date, the
// device's firmware version and serial number, how the suite ended and its verdict. Each repeat
// has its verdict, the expectations it failed and, with a baseline, each metric's change against
// the baseline's same repeat. Without `results` they are evaluated without a baseline.
std::string maneuverReportHtml(const ManeuverSuite& suite, const std::vector<ManeuverRepeatRecord>& records,
                               const ManeuverEnd& end, const ManeuverReportInfo& info,
                               const ManeuverSuiteResults* results = nullptr);

// Writes the page to `path` through a temporary file beside it, so that a reader never sees half
// a report. Throws std::runtime_error naming the path and the cause.
void writeManeuverReport(const std::filesystem::path& path, const std::string& html);

}  // namespace orvane
