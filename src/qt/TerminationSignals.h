#pragma once

#include <signal.h>

#include <QObject>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace orvane {

// Turns SIGTERM, SIGINT and SIGHUP (or the signals named) into calls on the GUI thread, so that a
// signal ends the console through the same close as its window instead of killing it where it
// stands. The handler only writes the signal's number into a pipe (write() is async-signal-safe);
// a QSocketNotifier on the pipe's other end reads it in the event loop and calls the handler set
// with setHandler(). Signals that come before a handler is set wait in the pipe.
//
// One instance at a time; the signals' earlier handling comes back when it goes.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::initializer_list<int> numbers = {SIGTERM, SIGINT, SIGHUP},
                                QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Called on the GUI thread with each signal's number, in the order they came.
    void setHandler(std::function<void(int signal)> handler) { handler_ = std::move(handler); }

    // "SIGTERM", "SIGINT", "SIGHUP", else "signal N".
    static std::string name(int signal);

private:
    void readPending();

    int readFd_ = -1;
    int writeFd_ = -1;
    std::vector<std::pair<int, struct sigaction>> previous_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void(int)> handler_;
};

}  // namespace orvane
