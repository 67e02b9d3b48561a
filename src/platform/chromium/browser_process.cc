#include "platform/chromium/browser_process.h"

#include "base/platform_error.h"

namespace qm::cr {

std::vector<std::string> QuietTestFlags() {
    return {"--headless=new",
            "--no-sandbox",
            "--disable-gpu",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
            "--disable-default-apps",
            "--disable-popup-blocking"};
}

std::vector<std::string> BrowserArguments(const ChromiumOptions& options,
                                          const std::string& userDataDir,
                                          const std::vector<std::string>& pipeFlags) {
    std::vector<std::string> args = {options.program};
    if (options.headless) {
        bool hasHeadless = false;
        for (const auto& a : options.extraArgs) {
            hasHeadless = hasHeadless || a.rfind("--headless", 0) == 0;
        }
        if (!hasHeadless) {
            args.push_back("--headless=new");
        }
    }
    args.insert(args.end(), options.extraArgs.begin(), options.extraArgs.end());
    args.insert(args.end(), pipeFlags.begin(), pipeFlags.end());
    args.push_back("--user-data-dir=" + userDataDir);
    args.push_back("about:blank");
    return args;
}

void ThrowProfileInUse(const std::string& userDataDir, const std::string& holder) {
    throw PlatformError(
        "The browser profile " + userDataDir + " is in use by another browser (" + holder + ")",
        kErrorProfileInUse, "Chromium");
}

void CheckProfileFree(const std::string& userDataDir) {
    if (const std::string holder = ProfileHolder(userDataDir); !holder.empty()) {
        ThrowProfileInUse(userDataDir, holder);
    }
}

}  // namespace qm::cr
