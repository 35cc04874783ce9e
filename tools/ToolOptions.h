#pragma once

// The tools' command lines, read with CLI11: each tool has --help and --version; a bad option is
// one line on standard error and exit status 2.

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "orvane/OrvaneVersion.h"

namespace orvane::tools {

// The help lists each option with its value's name only; what excludes or needs what is told in
// the descriptions.
class ToolHelpFormatter : public CLI::Formatter {
public:
    std::string make_option_opts(const CLI::Option* option) const override {
        const std::string name = option->get_type_name();
        return option->get_type_size() != 0 && !name.empty() ? " " + name : std::string();
    }
};

// Names the tool `name` and gives it --version; its description is the CLI::App's.
inline void describeTool(CLI::App& app, const std::string& name) {
    app.name(name);
    app.set_version_flag("--version", name + " " + ORVANE_PACKAGE_VERSION, "Print the program's version and exit");
    auto formatter = std::make_shared<ToolHelpFormatter>();
    formatter->column_width(30);
    app.formatter(formatter);
}

// A bad command line that CLI11 cannot tell: says so in one line and gives the exit status 2.
inline int usageError(const CLI::App& app, const std::string& message) {
    std::cerr << app.get_name() << ": " << message << " (see " << app.get_name() << " --help)\n";
    return 2;
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
        return usageError(app, message);
    }
}

}  // namespace orvane::tools
