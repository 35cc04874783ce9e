#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace orvane::testing {

// A cpp-httplib server on 127.0.0.1 on a free port, for the provider and download tests.
// Register routes on server() before start().
class TestHTTPServer {
public:
    TestHTTPServer() = default;
    ~TestHTTPServer() {
        releaseStalls();
        if (thread_.joinable()) {
            server_.stop();
            thread_.join();
        }
    }
    TestHTTPServer(const TestHTTPServer&) = delete;
    TestHTTPServer& operator=(const TestHTTPServer&) = delete;

    httplib::Server& server() { return server_; }

    void start() {
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        // stop() is ignored until the accept loop runs, so a server torn down at once would
        // never end.
        while (!server_.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    int port() const { return port_; }
    std::string origin() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string url(const std::string& path) const { return origin() + path; }

    // A route that announces `declaredLength` bytes, sends `prefix` and then sends nothing more
    // until the server is torn down.
    void addStallingRoute(const std::string& path, std::string prefix, std::size_t declaredLength) {
        server_.Get(path, [this, prefix, declaredLength](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(declaredLength, "application/octet-stream",
                                          [this, prefix](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                              if (offset == 0) {
                                                  sink.write(prefix.data(), prefix.size());
                                              }
                                              std::unique_lock lock(stallMutex_);
                                              stallReleased_.wait_for(lock, std::chrono::seconds(20),
                                                                      [this] { return released_; });
                                              return false;
                                          });
        });
    }

    void releaseStalls() {
        {
            std::lock_guard lock(stallMutex_);
            released_ = true;
        }
        stallReleased_.notify_all();
    }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex stallMutex_;
    std::condition_variable stallReleased_;
    bool released_ = false;
};

}  // namespace orvane::testing
