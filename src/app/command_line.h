#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "app/demo_page.h"
#include "platform/chromium/chromium_process.h"

namespace qm::app {

inline constexpr char kUsage[] =
    "usage: quillmere [--start-url URL] [--headless | --no-headless] [--chromium PATH] [--user-data-dir "
    "DIR]\n"
    "                 [--browser-output]\n";

// A page as a data: address.
inline std::string DataUrl(const std::string& html) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = "data:text/html;charset=utf-8,";
    for (const unsigned char c : html) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::strchr("-_.~", c)) {
            url.push_back(static_cast<char>(c));
        } else {
            url.push_back('%');
            url.push_back(kHex[c >> 4]);
            url.push_back(kHex[c & 15]);
        }
    }
    return url;
}

struct Arguments {
    cr::ChromiumOptions browser;
    bool ok = true;
};

// The program's command line on Linux: how to start the browser it watches, nothing else.
inline Arguments ParseArguments(int argc, char** argv) {
    Arguments args;
    const char* display = ::getenv("DISPLAY");
    const char* wayland = ::getenv("WAYLAND_DISPLAY");
    // Without a screen the browser has to run without a window of its own.
    args.browser.headless = !(display && *display) && !(wayland && *wayland);
    args.browser.startUrl = DataUrl(kDemoPage);
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&](const std::string& name) -> std::string {
            if (a.rfind(name + "=", 0) == 0) {
                return a.substr(name.size() + 1);
            }
            if (a == name && i + 1 < argc) {
                return argv[++i];
            }
            args.ok = false;
            return {};
        };
        if (a == "--start-url" || a.rfind("--start-url=", 0) == 0) {
            args.browser.startUrl = value("--start-url");
        } else if (a == "--chromium" || a.rfind("--chromium=", 0) == 0) {
            args.browser.program = value("--chromium");
        } else if (a == "--user-data-dir" || a.rfind("--user-data-dir=", 0) == 0) {
            args.browser.userDataDir = value("--user-data-dir");
        } else if (a == "--headless") {
            args.browser.headless = true;
        } else if (a == "--no-headless") {
            args.browser.headless = false;
        } else if (a == "--browser-output") {
            args.browser.showBrowserOutput = true;
        } else {
            args.ok = false;
        }
    }
    // The program judges popups itself; the browser's own blocker would hide them from it.
    args.browser.extraArgs = {"--no-first-run", "--disable-popup-blocking"};
    if (args.browser.headless) {
        args.browser.extraArgs.push_back("--disable-gpu");
    }
    if (::geteuid() == 0) {
        // The browser refuses to start its sandbox for the superuser.
        args.browser.extraArgs.push_back("--no-sandbox");
    }
    return args;
}

}  // namespace qm::app
