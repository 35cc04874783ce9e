#pragma once

namespace orvane {

class Application;

// Development aids for demos, screenshots and measurements, each switched on by an environment
// variable. None of them is part of normal use; the console itself has no command line and no
// settings.
//
// ORVANE_AUTOCONNECT=<device path>
//     Once the device scan lists that path (within 10 s of start), selects it and connects to it,
//     as if the user had chosen it in the device popup.
// ORVANE_SCREENSHOT=<file.png>
//     Renders the main window into that PNG file after ORVANE_SCREENSHOT_DELAY seconds
//     (default 4), then quits.
// ORVANE_PANELS=<names>
//     Shows the panels named in a comma-separated list (log, traffic, plots) and hides the
//     others, whatever layout was kept; set but empty (or "none"), hides them all.
// ORVANE_REPORT_STARTUP=1
//     Prints to standard error how long after entering main() the main window was first painted.
class DemoAids {
public:
    // Notes the moment the program started; call first thing in main().
    static void markStart();
    static void install(Application& application);
};

}  // namespace orvane
