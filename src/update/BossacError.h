#pragma once

#include <string>

#include "platform/Error.h"

namespace orvane {

// A run of the flashing tool that the tool itself reported as failed, or that ended without
// saying anything.
class BossacError : public Error {
public:
    enum class Kind {
        reportedFailure,  // the last output line contains "failed" or "No device"
        unknown,          // the tool printed no non-empty line
    };

    static BossacError reportedFailure(std::string line) { return BossacError(Kind::reportedFailure, std::move(line)); }
    static BossacError unknown() { return BossacError(Kind::unknown, {}); }

    Kind kind() const { return kind_; }
    // The offending output line of reportedFailure, unchanged (a carriage return included).
    const std::string& line() const { return line_; }

    std::string localizedDescription() const override;
    std::string domain() const override { return "orvane.BossacError"; }
    long code() const override { return static_cast<long>(kind_); }

    friend bool operator==(const BossacError& left, const BossacError& right) {
        return left.kind_ == right.kind_ && left.line_ == right.line_;
    }

private:
    BossacError(Kind kind, std::string line) : kind_(kind), line_(std::move(line)) {}

    Kind kind_;
    std::string line_;
};

}  // namespace orvane
