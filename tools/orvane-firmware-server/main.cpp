// orvane-firmware-server: a local firmware-information endpoint for the demo and for trying
// the update path without the real server. It announces one firmware version and serves its
// image; the console finds it through --firmware-endpoint or ORVANE_FIRMWARE_ENDPOINT.
// Prints the endpoint URL on its first line, then serves until interrupted.

#include <httplib.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "ToolOptions.h"
#include "update/FirmwareDownload.h"
#include "update/Minisign.h"

namespace {

httplib::Server* runningServer = nullptr;

void stop(int) {
    if (runningServer) runningServer->stop();
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string version = "1.2.3.4";
    std::string notes = "Smoother lane-keep torque overlay.\nFaster start-up after power-on.";
    std::size_t imageSize = 64 * 1024;
    std::size_t rate = 0;
    std::string signKey;
    bool unsignedOnly = false;

    CLI::App options{
        "A local firmware-information endpoint on 127.0.0.1 that announces one firmware version and serves its "
        "image, for trying the console's update path without the real server. Prints the endpoint's URL on its "
        "first line (hand it to orvane-console --firmware-endpoint), then serves until interrupted."};
    orvane::tools::describeTool(options, "orvane-firmware-server");
    options.add_option("--port", port, "Listen on port N of 127.0.0.1 (default: a free port)")
        ->type_name("N")
        ->check(CLI::Range(0, 65535).description(""));
    options.add_option("--firmware-version", version, "Announce and serve firmware version V (default 1.2.3.4)")
        ->type_name("V")
        ->check(CLI::Validator(
            [](const std::string& text) {
                static const std::regex dotted("[0-9]+(\\.[0-9]+){0,3}");
                return std::regex_match(text, dotted) ? std::string() : "'" + text + "' is not a dotted version";
            },
            "", "version"));
    options.add_option("--notes", notes, "Announce TEXT as the release notes")->type_name("TEXT");
    options.add_option("--image-size", imageSize, "Serve an image of BYTES bytes (default 65536)")->type_name("BYTES");
    options.add_option("--rate", rate, "Serve the image at about BYTES bytes a second (default: at once)")
        ->type_name("BYTES");
    auto* sign = options
                     .add_option("--sign-key", signKey,
                                 "Sign the description with the minisign secret key in FILE (one made by "
                                 "minisign -G -W) and serve the signature at its address + .minisig")
                     ->type_name("FILE")
                     ->check(CLI::ExistingFile);
    options.add_flag("--unsigned", unsignedOnly, "Serve no signature (the default without --sign-key)")->excludes(sign);
    if (auto status = orvane::tools::parseToolOptions(options, argc, argv)) return *status;
    std::optional<orvane::MinisignSecretKey> secretKey;
    if (!signKey.empty()) {
        try {
            std::ifstream in(signKey, std::ios::binary);
            secretKey = orvane::parseMinisignSecretKey(
                std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
        } catch (const orvane::MinisignError& error) {
            std::cerr << "orvane-firmware-server: " << signKey << ": " << error.what() << "\n";
            return 2;
        }
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
        {"size", image.size()},
    };
    const std::string body = document.dump(2);
    const std::string signature =
        secretKey ? orvane::signMinisign(body, *secretKey, "file:latest.json version:" + version) : std::string();

    httplib::Server server;
    server.Get("/devices/orvane/firmware/latest.json", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "application/json");
    });
    if (secretKey) {
        server.Get("/devices/orvane/firmware/latest.json.minisig",
                   [&](const httplib::Request&, httplib::Response& response) {
                       response.set_content(signature, "text/plain");
                   });
    }
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
