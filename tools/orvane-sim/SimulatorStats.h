// Counts of what the simulator did, for a soak run to check against what its host saw: one
// entry per connection (from the first bytes a host sends on a newly opened device until it
// closes the device or the link goes), with the reports written to it and the CONTROL requests
// read from it, and one entry per fault of the plan with its start and end.
//
//     {"connections": [{"opened": T, "closed": T|null, "messagesSent": N, "requestsReceived": N,
//                       "nonZeroRequests": N}],
//      "faults": [{"kind": K, "start": T, "end": T|null}]}
//
// Times are seconds since the epoch, with fractions; null while the connection is open or the
// fault under way. The file is replaced as a whole (a temporary file beside it, then a rename),
// so a reader never sees half of it.

#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane::sim {

class SimulatorStats {
public:
    // Keeps counting without a file when `path` is empty.
    explicit SimulatorStats(std::string path) : path_(std::move(path)) {}

    void connectionOpened();
    // Nothing happens without an open connection.
    void connectionClosed();
    void messageSent();
    void requestReceived(bool nonZero);

    void faultStarted(const std::string& kind);
    void faultEnded();

    // At exit: the device goes, so an open connection closes and a fault under way ends.
    void finish();

    // Writes the file now; false (said once on standard error) when it cannot be written.
    bool write();
    // Whether a connection or a fault started or ended since the last write.
    bool changed() const { return changed_; }

private:
    struct Connection {
        double opened = 0;
        std::optional<double> closed;
        long messagesSent = 0;
        long requestsReceived = 0;
        long nonZeroRequests = 0;
    };
    struct FaultTimes {
        std::string kind;
        double start = 0;
        std::optional<double> end;
    };

    Connection* open();

    std::string path_;
    std::vector<Connection> connections_;
    std::vector<FaultTimes> faults_;
    bool changed_ = false;
    bool failed_ = false;
};

}  // namespace orvane::sim
