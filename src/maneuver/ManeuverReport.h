#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "maneuver/ManeuverRunner.h"
#include "maneuver/ManeuverSuite.h"

namespace orvane {

// What the report says about the run besides its samples.
struct ManeuverReportInfo {
    std::string fileName;                        // the maneuver file's name
    std::string firmwareVersion;                 // empty: the device did not report one
    std::string serialNumber;                    // empty: the device did not report one
    std::chrono::system_clock::time_point date;  // when the suite started
};

// Text for HTML: & < > " ' as character references.
std::string htmlEscaped(std::string_view text);

// The report of a run as one self-contained HTML page: inline CSS and SVG charts, no script and
// nothing fetched. Per maneuver it overlays the requested and measured curves of every repeat
// (request, wheel angle, assist torque, driver torque, and the channel's control method as a
// band) and tabulates each repeat's response metrics; the head names the file, the date, the
// device's firmware version and serial number, and how the suite ended.
std::string maneuverReportHtml(const ManeuverSuite& suite, const std::vector<ManeuverRepeatRecord>& records,
                               const ManeuverEnd& end, const ManeuverReportInfo& info);

// Writes the page to `path` through a temporary file beside it, so that a reader never sees half
// a report. Throws std::runtime_error naming the path and the cause.
void writeManeuverReport(const std::filesystem::path& path, const std::string& html);

}  // namespace orvane
