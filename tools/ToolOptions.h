#pragma once

// The tools' command lines, read with CLI11: each tool has --help and --version; a bad option is
// one line on standard error and exit status 2.

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>

#include "orvane/OrvaneVersion.h"

namespace orvane::tools {

// A parser for the tool `name` that prints `description` at the top of its --help.
inline void describeTool(CLI::App& app, const std::string& name) {
    app.name(name);
    app.set_version_flag("--version", name + " " + ORVANE_PACKAGE_VERSION, "Print the program's version and exit");
    app.get_formatter()->column_width(30);
}

// Reads the arguments. Returns the exit status to end with at once (0 after --help or --version,
// 2 after a bad option), or nothing when the tool should go on.
inline std::optional<int> parseToolOptions(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::CallForVersion& version) {
        std::cout << version.what() << '\n';
        return 0;
    } catch (const CLI::ParseError& error) {
        std::string message = error.what();
        for (char& c : message) {
            if (c == '\n') c = ' ';
        }
        std::cerr << app.get_name() << ": " << message << " (see " << app.get_name() << " --help)\n";
        return 2;
    }
}

}  // namespace orvane::tools
