#include "SimulatorStats.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <nlohmann/json.hpp>

namespace orvane::sim {

namespace {

double secondsSinceEpoch() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

nlohmann::json timeOrNull(const std::optional<double>& time) {
    return time ? nlohmann::json(*time) : nlohmann::json(nullptr);
}

}  // namespace

SimulatorStats::Connection* SimulatorStats::open() {
    return !connections_.empty() && !connections_.back().closed ? &connections_.back() : nullptr;
}

void SimulatorStats::connectionOpened() {
    connectionClosed();
    connections_.push_back({.opened = secondsSinceEpoch()});
    changed_ = true;
}

void SimulatorStats::connectionClosed() {
    if (Connection* connection = open()) {
        connection->closed = secondsSinceEpoch();
        changed_ = true;
    }
}

void SimulatorStats::messageSent() {
    if (Connection* connection = open()) ++connection->messagesSent;
}

void SimulatorStats::requestReceived(bool nonZero) {
    if (Connection* connection = open()) {
        ++connection->requestsReceived;
        if (nonZero) ++connection->nonZeroRequests;
    }
}

void SimulatorStats::faultStarted(const std::string& kind) {
    faultEnded();
    faults_.push_back({.kind = kind, .start = secondsSinceEpoch()});
    changed_ = true;
}

void SimulatorStats::faultEnded() {
    if (!faults_.empty() && !faults_.back().end) {
        faults_.back().end = secondsSinceEpoch();
        changed_ = true;
    }
}

void SimulatorStats::finish() {
    connectionClosed();
    faultEnded();
}

bool SimulatorStats::write() {
    changed_ = false;
    if (path_.empty()) return true;
    nlohmann::json connections = nlohmann::json::array();
    for (const Connection& c : connections_) {
        connections.push_back({{"opened", c.opened},
                               {"closed", timeOrNull(c.closed)},
                               {"messagesSent", c.messagesSent},
                               {"requestsReceived", c.requestsReceived},
                               {"nonZeroRequests", c.nonZeroRequests}});
    }
    nlohmann::json faults = nlohmann::json::array();
    for (const FaultTimes& f : faults_) {
        faults.push_back({{"kind", f.kind}, {"start", f.start}, {"end", timeOrNull(f.end)}});
    }
    const std::string text =
        nlohmann::json{{"connections", std::move(connections)}, {"faults", std::move(faults)}}.dump() + "\n";

    namespace fs = std::filesystem;
    const std::string temporary = path_ + ".part-" + std::to_string(::getpid());
    std::error_code error;
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << text;
        file.flush();
        if (!file) error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
    }
    if (!error) fs::rename(temporary, path_, error);
    if (!error) return true;
    std::error_code ignored;
    fs::remove(temporary, ignored);
    if (!failed_) std::fprintf(stderr, "orvane-sim: cannot write %s: %s\n", path_.c_str(), error.message().c_str());
    failed_ = true;
    return false;
}

}  // namespace orvane::sim
