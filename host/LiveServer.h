// The live view's web server: one page that shows the Camera's screen as it
// changes and sends what a person does to it as scenario command lines.
// The HTTP side is cpp-httplib; the device side is a LiveSession, run on the
// thread that calls serveLive.
#pragma once

#include "host/Runner.h"

#include <filesystem>
#include <string>
#include <vector>

namespace camera {

struct ServeOptions {
    std::string address = "127.0.0.1";
    int port = 8080;
    // Whether an address other than a loopback one may be served.
    bool anywhere = false;
    // Host names (lower case) the page may be reached by, besides IP
    // addresses and localhost: any other Host header is refused, so that a
    // page elsewhere cannot reach this one through a name of its own.
    std::vector<std::string> names;
    // The page's files (index.html, live.js, live.css).
    std::filesystem::path web;
    // A scenario run first (device and preference commands, say); the
    // Camera is launched after it unless it launched it.
    std::string setup;
};

// Parses "[ADDRESS:]PORT" (an IPv6 address in brackets) into options.
// Returns an error message, or empty.
std::string parseServeAddress(const std::string& text, ServeOptions& options);
bool isLoopbackAddress(const std::string& address);
// Adds a name of --serve-name. Returns an error message, or empty.
std::string addServeName(const std::string& name, ServeOptions& options);

// Launches the Camera and serves the page until interrupted (SIGINT or
// SIGTERM). Returns the process's exit status.
int serveLive(Runner& runner, const ServeOptions& options);

} // namespace camera
