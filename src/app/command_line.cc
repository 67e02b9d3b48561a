#include "app/command_line.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/demo_page.h"
#include "settings/language_class.h"
#include "version.h"

namespace qm::app {

namespace {

// One option of the program: its names, the name of its value (empty for a switch), its line in the
// usage text, and what it does to the arguments.
struct Option {
    const char* name;
    const char* shortName;  // null: none
    const char* valueName;  // null: takes no value
    const char* help;
    void (*apply)(Arguments& args, const std::string& value);
};

constexpr Option kOptions[] = {
    {"--help", "-h", nullptr, "show this help and end",
     [](Arguments& a, const std::string&) { a.action = Arguments::Action::Help; }},
    {"--version", nullptr, nullptr, "show the program's version and end",
     [](Arguments& a, const std::string&) { a.action = Arguments::Action::Version; }},
    {"--start-url", nullptr, "URL", "the page to open (the demo page when none is given)",
     [](Arguments& a, const std::string& v) { a.addresses.insert(a.addresses.begin(), v); }},
    {"--language", nullptr, "LANGUAGE", "the interface language: English or Chinese",
     [](Arguments& a, const std::string& v) {
         if (v != kLanguageEnglish && v != kLanguageChinese) {
             a.action = Arguments::Action::Fail;
             a.error = "unknown language '" + v + "' (English or Chinese)";
         }
         a.language = v;
     }},
    {"--user-data-dir", nullptr, "DIR", "keep the browser's profile in DIR",
     [](Arguments& a, const std::string& v) {
         a.profile = ProfileKind::Given;
         a.browser.userDataDir = v;
     }},
    {"--temp-profile", nullptr, nullptr, "use a fresh profile that is removed at the end of the run",
     [](Arguments& a, const std::string&) {
         a.profile = ProfileKind::Temporary;
         a.browser.userDataDir.clear();
     }},
    {"--browser", nullptr, "BROWSER", "the browser to watch: chromium, chrome, edge or a program's path",
     [](Arguments& a, const std::string& v) { a.browserChoice = v; }},
    {"--chromium", nullptr, "PATH", "the browser program to start (/usr/bin/chromium)",
     [](Arguments& a, const std::string& v) { a.browser.program = v; }},
    {"--headless", nullptr, nullptr, "run the browser without windows (the default without a display)",
     [](Arguments& a, const std::string&) { a.browser.headless = true; }},
    {"--no-headless", nullptr, nullptr, "run the browser with windows even without a display",
     [](Arguments& a, const std::string&) { a.browser.headless = false; }},
    {"--browser-output", nullptr, nullptr, "let the browser's own messages through to standard error",
     [](Arguments& a, const std::string&) { a.browser.showBrowserOutput = true; }},
};

// The toolkit's own options, which it takes out of the command line itself; they are let through here.
struct ToolkitOption {
    const char* name;
    bool takesValue;
};
constexpr ToolkitOption kToolkitOptions[] = {
    {"-platform", true},        {"-platformpluginpath", true},
    {"-platformtheme", true},   {"-plugin", true},
    {"-display", true},         {"-style", true},
    {"-stylesheet", true},      {"-session", true},
    {"-qwindowgeometry", true}, {"-qwindowtitle", true},
    {"-qwindowicon", true},     {"-geometry", true},
    {"-title", true},           {"-name", true},
    {"-reverse", false},        {"-widgetcount", false},
    {"-nograb", false},         {"-dograb", false},
    {"-sync", false},
};

const char* Get(const Environment& environment, const char* name) {
    const char* value = environment ? environment(name) : nullptr;
    return value && *value ? value : nullptr;
}

// The locale's language decides the interface language when the command line does not.
std::string LocaleLanguage(const Environment& environment) {
    const char* locale = Get(environment, "LC_ALL");
    if (!locale) {
        locale = Get(environment, "LC_MESSAGES");
    }
    if (!locale) {
        locale = Get(environment, "LANG");
    }
    return locale && std::strncmp(locale, "zh", 2) == 0 ? kLanguageChinese : kLanguageEnglish;
}

void Fail(Arguments& args, std::string why) {
    if (args.action != Arguments::Action::Fail) {
        args.action = Arguments::Action::Fail;
        args.error = std::move(why);
    }
}

}  // namespace

std::string DataUrl(const std::string& html) {
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

std::string UsageText() {
    std::string text =
        "Usage: quillmere [OPTION]... [URL]...\n"
        "Watches a Chromium browser from the notification area: blocks the popups a page opens by itself\n"
        "and takes advertisements out of pages. Started while a copy runs already, it asks that copy to\n"
        "open each URL (or a new browser window) and ends.\n\n"
        "Options:\n";
    for (const Option& option : kOptions) {
        std::string names = "  ";
        names += option.shortName ? std::string(option.shortName) + ", " : std::string("    ");
        names += option.name;
        if (option.valueName) {
            names += std::string(" ") + option.valueName;
        }
        names.resize(std::max<std::size_t>(names.size() + 2, 30), ' ');
        text += names + option.help + "\n";
    }
    text +=
        "\nThe browser's profile is kept in $XDG_DATA_HOME/quillmere/profile "
        "(~/.local/share/quillmere/profile)\n"
        "unless --user-data-dir or --temp-profile says otherwise. The interface is in Chinese when the\n"
        "locale's language is Chinese (zh), in English otherwise.\n";
    return text;
}

std::string VersionText() {
    return "quillmere " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision) + "\n";
}

int AnswerWithoutRunning(const Arguments& args) {
    switch (args.action) {
        case Arguments::Action::Help:
            std::fputs(UsageText().c_str(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        case Arguments::Action::Version:
            std::fputs(VersionText().c_str(), stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        case Arguments::Action::Fail:
            std::fprintf(stderr, "quillmere: %s\nTry 'quillmere --help' for more information.\n",
                         args.error.c_str());
            return 2;
        case Arguments::Action::Run:
            break;
    }
    return -1;
}

Arguments ParseArguments(const std::vector<std::string>& argv,
                         const Environment& environment,
                         HostSystem system) {
    Arguments args;
    // Without a screen the browser has to run without a window of its own.
    args.browser.headless =
        system == HostSystem::Linux && !Get(environment, "DISPLAY") && !Get(environment, "WAYLAND_DISPLAY");
    args.language = LocaleLanguage(environment);

    bool optionsEnded = false;
    for (std::size_t i = 1; i < argv.size(); ++i) {
        const std::string& word = argv[i];
        if (optionsEnded || word.empty() || word[0] != '-' || word == "-") {
            if (word.find('\n') != std::string::npos) {
                Fail(args, "an address cannot span lines");
            }
            args.addresses.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = word.find('=');
        const std::string name = word.rfind("--", 0) == 0 ? word.substr(0, equals) : word;
        const Option* option = nullptr;
        for (const Option& candidate : kOptions) {
            if (name == candidate.name || (candidate.shortName && name == candidate.shortName)) {
                option = &candidate;
            }
        }
        if (!option) {
            const ToolkitOption* toolkit = nullptr;
            for (const ToolkitOption& candidate : kToolkitOptions) {
                if (word == candidate.name) {
                    toolkit = &candidate;
                }
            }
            if (!toolkit) {
                Fail(args, "unknown option '" + word + "'");
            } else if (toolkit->takesValue && ++i >= argv.size()) {
                Fail(args, "option '" + word + "' needs a value");
            }
            continue;
        }
        std::string value;
        if (option->valueName) {
            if (equals != std::string::npos && name == word.substr(0, equals)) {
                value = word.substr(equals + 1);
            } else if (i + 1 < argv.size()) {
                value = argv[++i];
            } else {
                Fail(args, "option '" + name + "' needs a value (" + option->valueName + ")");
                continue;
            }
            if (value.empty()) {
                Fail(args, "option '" + name + "' needs a value (" + option->valueName + ")");
                continue;
            }
        } else if (equals != std::string::npos && word.rfind("--", 0) == 0) {
            Fail(args, "option '" + name + "' takes no value");
            continue;
        }
        const Arguments::Action before = args.action;
        option->apply(args, value);
        // Help and version win over everything but a command line that could not be read.
        if (before == Arguments::Action::Fail) {
            args.action = before;
        } else if (before == Arguments::Action::Help && args.action == Arguments::Action::Version) {
            args.action = before;
        }
    }

    args.browser.startUrl = args.addresses.empty() ? DataUrl(kDemoPage) : args.addresses.front();
    // The program judges popups itself; the browser's own blocker would hide them from it.
    args.browser.extraArgs = {"--no-first-run", "--disable-popup-blocking"};
    if (args.browser.headless) {
        args.browser.extraArgs.push_back("--disable-gpu");
    }
    return args;
}

Arguments ParseArguments(int argc, char** argv) {
    return ParseArguments(std::vector<std::string>(argv, argv + argc),
                          [](const char* name) { return std::getenv(name); });
}

std::string UserDataFolder(const Environment& environment, HostSystem system) {
    if (system == HostSystem::Windows) {
        const char* local = Get(environment, "LOCALAPPDATA");
        const bool absolute =
            local && ((std::strlen(local) >= 3 && local[1] == ':' && (local[2] == '\\' || local[2] == '/')) ||
                      (local[0] == '\\' && local[1] == '\\'));
        return absolute ? std::string(local) + "\\Quillmere" : std::string();
    }
    const char* data = Get(environment, "XDG_DATA_HOME");
    if (data && data[0] == '/') {
        return std::string(data) + "/quillmere";
    }
    const char* home = Get(environment, "HOME");
    if (home && home[0] == '/') {
        return std::string(home) + "/.local/share/quillmere";
    }
    return {};
}

bool ResolveProfile(Arguments& args, const Environment& environment, std::string& why, HostSystem system) {
    switch (args.profile) {
        case ProfileKind::Given:
            return true;
        case ProfileKind::Temporary:
            args.browser.userDataDir.clear();
            return true;
        case ProfileKind::Lasting:
            break;
    }
    const std::string folder = UserDataFolder(environment, system);
    if (folder.empty()) {
        why = std::string(system == HostSystem::Windows ? "LOCALAPPDATA does not name"
                                                        : "neither XDG_DATA_HOME nor HOME names") +
              " a folder for the browser's profile; give one with --user-data-dir DIR, or use --temp-profile";
        return false;
    }
    args.browser.userDataDir = folder + (system == HostSystem::Windows ? "\\Profile" : "/profile");
    return true;
}

}  // namespace qm::app
