// orvane-firmware-server: a local firmware-information endpoint for the demo and for trying
// the update path without the real server. It announces one firmware version and serves its
// image; the console finds it through the ORVANE_FIRMWARE_ENDPOINT environment variable.
//
//   orvane-firmware-server [--port N] [--version V] [--notes TEXT] [--image-size BYTES] [--rate BYTES]
//
// --rate serves the image at about that many bytes a second, so a download can be watched.
// Prints the endpoint URL on its first line, then serves until interrupted.

#include <httplib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "update/FirmwareDownload.h"

namespace {

httplib::Server* runningServer = nullptr;

void stop(int) {
    if (runningServer) runningServer->stop();
}

int usage() {
    std::cerr << "usage: orvane-firmware-server [--port N] [--version V] [--notes TEXT] [--image-size BYTES] "
                 "[--rate BYTES]\n";
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string version = "1.2.3.4";
    std::string notes = "Smoother lane-keep torque overlay.\nFaster start-up after power-on.";
    std::size_t imageSize = 64 * 1024;
    std::size_t rate = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = nullptr;
        if (arg == "--port" && (v = value()))
            port = std::atoi(v);
        else if (arg == "--version" && (v = value()))
            version = v;
        else if (arg == "--notes" && (v = value()))
            notes = v;
        else if (arg == "--image-size" && (v = value()))
            imageSize = std::strtoull(v, nullptr, 10);
        else if (arg == "--rate" && (v = value()))
            rate = std::strtoull(v, nullptr, 10);
        else
            return usage();
    }

    // A recognisable, deterministic image. It opens with the version marker the device's firmware
    // carries, "ORVANE-FIRMWARE-VERSION=" + version + NUL (orvane-sim reports that version after
    // flashing it), then the version text repeated; it is never cut shorter than the marker.
    std::string image = "ORVANE-FIRMWARE-VERSION=" + version + '\0';
    imageSize = std::max(imageSize, image.size());
    image.reserve(imageSize);
    while (image.size() < imageSize) image += "ORVANE-FIRMWARE-" + version + "\n";
    image.resize(imageSize);

    const std::string imagePath = "images/orvane-" + version + ".bin";
    nlohmann::json document = {
        {"version", version},
        {"releaseNotes", notes},
        {"date", "2026-11-30T09:00:00.000Z"},
        {"location", imagePath},
        {"sha256", orvane::sha256Hex(image)},
    };
    const std::string body = document.dump(2);

    httplib::Server server;
    server.Get("/devices/orvane/firmware/latest.json", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "application/json");
    });
    server.Get("/devices/orvane/firmware/" + imagePath, [&](const httplib::Request&, httplib::Response& response) {
        if (rate == 0) {
            response.set_content(image, "application/octet-stream");
            return;
        }
        // A tenth of the rate every tenth of a second, with the whole length announced.
        response.set_content_provider(image.size(), "application/octet-stream",
                                      [&image, rate](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                          std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                          const std::size_t count =
                                              std::min(std::max<std::size_t>(rate / 10, 1), image.size() - offset);
                                          return sink.write(image.data() + offset, count);
                                      });
    });

    if (port == 0) {
        port = server.bind_to_any_port("127.0.0.1");
    } else if (!server.bind_to_port("127.0.0.1", port)) {
        port = -1;
    }
    if (port < 0) {
        std::cerr << "orvane-firmware-server: cannot listen on 127.0.0.1\n";
        return 1;
    }
    std::cout << "http://127.0.0.1:" << port << "/devices/orvane/firmware/latest.json" << std::endl;

    runningServer = &server;
    std::signal(SIGINT, stop);
    std::signal(SIGTERM, stop);
    server.listen_after_bind();
    return 0;
}
