#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace orvane::testing {

// A fresh directory under the system's temporary directory, removed again with everything in
// it when the object goes. Tests use it as a device directory, a runtime directory or a place
// for stand-in tools.
class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvane-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // A small regular file named `name`; gives its path.
    std::string touch(const std::string& name) const {
        std::ofstream(path_ / name).put('\n');
        return (path_ / name).string();
    }

    // A symbolic link named `name` to `target`.
    void link(const std::string& name, const std::string& target) const {
        std::filesystem::create_symlink(target, path_ / name);
    }

    void remove(const std::string& name) const {
        std::error_code ignored;
        std::filesystem::remove(path_ / name, ignored);
    }

    // A shell script with the given body; executable unless asked otherwise.
    std::filesystem::path script(const std::string& name, const std::string& body, bool executable = true) const {
        const std::filesystem::path file = path_ / name;
        std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
        ::chmod(file.c_str(), executable ? 0755 : 0644);
        return file;
    }

private:
    std::filesystem::path path_;
};

// The whole content of a file, or empty text when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::ostringstream contents;
    contents << stream.rdbuf();
    return contents.str();
}

}  // namespace orvane::testing
