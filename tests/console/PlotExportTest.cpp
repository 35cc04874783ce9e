#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console/PlotExport.h"
#include "support/Csv.h"

namespace orvane {
namespace {

TEST(PlotExport, CsvHasOneRowPerMomentInsideTheWindowAndFillsNothingIn) {
    using Rows = std::vector<std::vector<std::string>>;
    const double nan = std::nan("");
    struct Case {
        const char* what;
        std::vector<PlottedSeries> series;
        double window;
        Rows rows;  // header first
    };
    const Case cases[] = {
        {"series sampled together share their rows",
         {{"A (deg)", {{-2, 1}, {-1, 2.5}, {0, 3}}}, {"B (%)", {{-2, -10}, {-1, 20}, {0, 33.25}}}},
         30,
         {{"time (s)", "A (deg)", "B (%)"},
          {"-2.000", "1.0", "-10.0"},
          {"-1.000", "2.5", "20.0"},
          {"0.000", "3.0", "33.25"}}},
        {"points less than a millisecond apart are one moment, those further apart are not",
         {{"A", {{-1.0004, 1}, {-0.5, 2}}}, {"B", {{-0.9999, 3}, {-0.4984, 4}}}},
         30,
         {{"time (s)", "A", "B"}, {"-1.000", "1.0", "3.0"}, {"-0.500", "2.0", ""}, {"-0.498", "", "4.0"}}},
        {"the window's bounds are inside, anything beyond them is left out",
         {{"A", {{-30.5, 1}, {-30, 2}, {-10, 3}, {0, 4}, {0.25, 5}}}},
         30,
         {{"time (s)", "A"}, {"-30.000", "2.0"}, {"-10.000", "3.0"}, {"0.000", "4.0"}}},
        {"a gap has no rows; a series without a sample at a moment has an empty field there",
         {{"A", {{-3, 1}, {-2.98, 2}, {-1, 3}}}, {"B", {{-3, 5}, {-1, 6}, {-0.5, 7}}}},
         30,
         {{"time (s)", "A", "B"},
          {"-3.000", "1.0", "5.0"},
          {"-2.980", "2.0", ""},
          {"-1.000", "3.0", "6.0"},
          {"-0.500", "", "7.0"}}},
        {"a value that is not a number is no sample, a moment a rounding below 0 is 0.000",
         {{"Torque, raw (Nm)", {{-0.2, nan}, {-0.0004, -0.5}}}},
         30,
         {{"time (s)", "Torque, raw (Nm)"}, {"0.000", "-0.5"}}},
        {"a shorter window", {{"A", {{-6, 1}, {-4.5, 2}}}}, 5, {{"time (s)", "A"}, {"-4.500", "2.0"}}},
        {"nothing shown: the header alone", {}, 30, {{"time (s)"}}},
    };
    for (const Case& c : cases) {
        const std::string text = plotCsv(c.series, c.window);
        const auto parsed = testing::parseCsv(text);
        EXPECT_EQ(parsed.error, "") << c.what << ":\n" << text;
        EXPECT_EQ(parsed.rows, c.rows) << c.what << ":\n" << text;
    }
}

}  // namespace
}  // namespace orvane
