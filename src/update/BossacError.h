#pragma once

#include <string>

#include "platform/Error.h"

namespace orvane {

// A run of the flashing tool that the tool itself reported as failed, or that ended without
// saying anything.
class BossacError : public Error {
public:
    enum class Kind {
        reportedFailure,  // a line names the failure (see outcomeOfRun)
        unknown,          // the tool printed no non-empty line
        endedAbnormally,  // a signal or a non-zero status ended a tool that printed nothing
    };

    // `end` says how a tool that did not exit with status 0 ended ("the tool exited with
    // status 2"); empty for one that did.
    static BossacError reportedFailure(std::string line, std::string end = {}) {
        return BossacError(Kind::reportedFailure, std::move(line), std::move(end));
    }
    static BossacError unknown() { return BossacError(Kind::unknown, {}, {}); }
    static BossacError endedAbnormally(std::string end) {
        return BossacError(Kind::endedAbnormally, {}, std::move(end));
    }

    Kind kind() const { return kind_; }
    // The offending output line of reportedFailure, unchanged (a carriage return included).
    const std::string& line() const { return line_; }
    const std::string& end() const { return end_; }

    std::string localizedDescription() const override;
    std::string domain() const override { return "orvane.BossacError"; }
    long code() const override { return static_cast<long>(kind_); }

    friend bool operator==(const BossacError& left, const BossacError& right) {
        return left.kind_ == right.kind_ && left.line_ == right.line_ && left.end_ == right.end_;
    }

private:
    BossacError(Kind kind, std::string line, std::string end)
        : kind_(kind), line_(std::move(line)), end_(std::move(end)) {}

    Kind kind_;
    std::string line_;
    std::string end_;
};

}  // namespace orvane
