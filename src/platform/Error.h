#pragma once

#include <memory>
#include <optional>
#include <string>

namespace orvane {

// The error values of the console. Every error can describe itself to a user; an alert shows the
// localized description as its message and the recovery suggestion as its informative text.
class Error {
public:
    virtual ~Error() = default;

    // What failed, in words a user can act on.
    virtual std::string localizedDescription() const = 0;
    virtual std::optional<std::string> failureReason() const { return std::nullopt; }
    virtual std::optional<std::string> recoverySuggestion() const { return std::nullopt; }
    virtual std::optional<std::string> helpAnchor() const { return std::nullopt; }
    // Longer technical text a user may open (a tool's output), shown collapsed.
    virtual std::optional<std::string> detailedText() const { return std::nullopt; }

    // Qualified type name and numeric code, as an error object of the platform would carry them.
    virtual std::string domain() const = 0;
    virtual long code() const { return 0; }
};

using ErrorRef = std::shared_ptr<const Error>;

// An error of the platform itself (a transfer, a file, a child process): domain, code and text.
class PlatformError : public Error {
public:
    PlatformError(std::string domain, long code, std::string description)
        : domain_(std::move(domain)), code_(code), description_(std::move(description)) {}

    std::string localizedDescription() const override { return description_; }
    std::string domain() const override { return domain_; }
    long code() const override { return code_; }

private:
    std::string domain_;
    long code_;
    std::string description_;
};

// An error from errno with the system's own text, prefixed with what was being done.
ErrorRef makeSystemError(const std::string& what, int errnoValue);

}  // namespace orvane
