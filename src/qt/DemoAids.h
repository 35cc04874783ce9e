#pragma once

namespace orvane {

class Application;

// Development aids for demos, screenshots and measurements, each switched on by an environment
// variable. None of them is part of normal use.
//
// ORVANE_SCREENSHOT=<file.png>
//     Renders the main window into that PNG file after ORVANE_SCREENSHOT_DELAY seconds
//     (default 4), then quits.
// ORVANE_REPORT_STARTUP=1
//     Prints to standard error how long after entering main() the main window was first painted.
class DemoAids {
public:
    // Notes the moment the program started; call first thing in main().
    static void markStart();
    static void install(Application& application);
};

}  // namespace orvane
