#include "app/command_line.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace qm::app {
namespace {

using Action = Arguments::Action;

// An environment made of a table, so that the machine's own variables play no part.
Environment Table(std::map<std::string, std::string> values) {
    auto shared = std::make_shared<std::map<std::string, std::string>>(std::move(values));
    return [shared](const char* name) -> const char* {
        const auto entry = shared->find(name);
        return entry == shared->end() ? nullptr : entry->second.c_str();
    };
}

Arguments Parse(std::vector<std::string> words,
                std::map<std::string, std::string> env = {{"DISPLAY", ":0"}}) {
    words.insert(words.begin(), "quillmere");
    return ParseArguments(words, Table(std::move(env)));
}

struct Case {
    std::vector<std::string> words;
    Action action;
    std::string errorMentions;  // a part of the error the person must see
};

TEST(CommandLineTest, EachCommandLineGetsItsActionAndAFailureNamesWhatWasWrong) {
    const Case cases[] = {
        {{}, Action::Run, ""},
        {{"--help"}, Action::Help, ""},
        {{"-h"}, Action::Help, ""},
        {{"--version"}, Action::Version, ""},
        {{"--version", "--help"}, Action::Help, ""},
        {{"--bogus"}, Action::Fail, "'--bogus'"},
        {{"-x"}, Action::Fail, "'-x'"},
        {{"--help", "--bogus"}, Action::Fail, "'--bogus'"},
        {{"--start-url"}, Action::Fail, "'--start-url' needs a value"},
        {{"--user-data-dir"}, Action::Fail, "'--user-data-dir' needs a value"},
        {{"--user-data-dir="}, Action::Fail, "'--user-data-dir' needs a value"},
        {{"--language"}, Action::Fail, "'--language' needs a value"},
        {{"--language", "chinese"}, Action::Fail, "unknown language 'chinese'"},
        {{"--language", "French"}, Action::Fail, "unknown language 'French'"},
        {{"--temp-profile=yes"}, Action::Fail, "'--temp-profile' takes no value"},
        {{"http://a.example/", "http://b.example/"}, Action::Run, ""},
        {{"http://a.example/\nOPEN x"}, Action::Fail, "cannot span lines"},
        {{"-platform", "offscreen", "--headless"}, Action::Run, ""},
        {{"-platform"}, Action::Fail, "'-platform' needs a value"},
        {{"--", "--help"}, Action::Run, ""},
    };
    for (const Case& c : cases) {
        const Arguments args = Parse(c.words);
        std::string line;
        for (const auto& w : c.words) {
            line += w + " ";
        }
        EXPECT_EQ(args.action, c.action) << line;
        if (!c.errorMentions.empty()) {
            EXPECT_NE(args.error.find(c.errorMentions), std::string::npos) << line << "-> " << args.error;
        }
    }
}

TEST(CommandLineTest, OptionsReachTheBrowserAndTheProgram) {
    const Arguments args =
        Parse({"--start-url=http://a.example/", "--chromium", "/opt/chromium", "--language", "Chinese",
               "--user-data-dir", "/home/p/profile", "--browser-output"});
    ASSERT_EQ(args.action, Action::Run);
    EXPECT_EQ(args.addresses, std::vector<std::string>{"http://a.example/"});
    EXPECT_EQ(args.browser.startUrl, "http://a.example/");
    EXPECT_EQ(args.browser.program, "/opt/chromium");
    EXPECT_EQ(args.language, "Chinese");
    EXPECT_EQ(args.profile, ProfileKind::Given);
    EXPECT_EQ(args.browser.userDataDir, "/home/p/profile");
    EXPECT_TRUE(args.browser.showBrowserOutput);

    // As a desktop launcher passes them: the first is the first page, the rest open beside it.
    const Arguments plain =
        Parse({"http://b.example/page?q=1", "--start-url", "http://s.example/", "file:///x y"});
    EXPECT_EQ(plain.addresses,
              (std::vector<std::string>{"http://s.example/", "http://b.example/page?q=1", "file:///x y"}));
    EXPECT_EQ(plain.browser.startUrl, "http://s.example/");
    const Arguments demo = Parse({});
    EXPECT_TRUE(demo.addresses.empty()) << "no address was asked for";
    EXPECT_EQ(demo.browser.startUrl.rfind("data:text/html", 0), 0u) << "the first start shows the demo page";
}

TEST(CommandLineTest, TheLanguageIsEnglishUnlessTheLocaleOrTheCommandLineSaysChinese) {
    EXPECT_EQ(Parse({}, {}).language, "English");
    EXPECT_EQ(Parse({}, {{"LANG", "zh_CN.UTF-8"}}).language, "Chinese");
    EXPECT_EQ(Parse({}, {{"LANG", "zh_CN.UTF-8"}, {"LC_ALL", "C.UTF-8"}}).language, "English")
        << "LC_ALL comes before LANG";
    EXPECT_EQ(Parse({}, {{"LC_MESSAGES", "zh_TW"}, {"LANG", "en_GB"}}).language, "Chinese");
    EXPECT_EQ(Parse({"--language", "English"}, {{"LANG", "zh_CN"}}).language, "English");
}

TEST(CommandLineTest, WithoutADisplayTheBrowserRunsHeadlessUnlessToldOtherwise) {
    EXPECT_TRUE(Parse({}, {}).browser.headless);
    EXPECT_FALSE(Parse({}, {{"WAYLAND_DISPLAY", "wayland-0"}}).browser.headless);
    EXPECT_FALSE(Parse({"--no-headless"}, {}).browser.headless);
    EXPECT_TRUE(Parse({"--headless"}).browser.headless);
}

TEST(CommandLineTest, TheProfileLastsUnderTheUsersDataFolderUnlessAnotherOrATemporaryOneIsAskedFor) {
    std::string why;
    Arguments lasting = Parse({});
    ASSERT_TRUE(ResolveProfile(lasting, Table({{"HOME", "/home/p"}}), why)) << why;
    EXPECT_EQ(lasting.browser.userDataDir, "/home/p/.local/share/quillmere/profile");

    Arguments xdg = Parse({});
    ASSERT_TRUE(ResolveProfile(xdg, Table({{"HOME", "/home/p"}, {"XDG_DATA_HOME", "/data"}}), why));
    EXPECT_EQ(xdg.browser.userDataDir, "/data/quillmere/profile");

    Arguments relative = Parse({});
    ASSERT_TRUE(ResolveProfile(relative, Table({{"HOME", "/home/p"}, {"XDG_DATA_HOME", "data"}}), why));
    EXPECT_EQ(relative.browser.userDataDir, "/home/p/.local/share/quillmere/profile")
        << "a relative XDG_DATA_HOME is not valid";

    Arguments temporary = Parse({"--user-data-dir", "/x", "--temp-profile"});
    ASSERT_TRUE(ResolveProfile(temporary, Table({{"HOME", "/home/p"}}), why));
    EXPECT_EQ(temporary.profile, ProfileKind::Temporary);
    EXPECT_TRUE(temporary.browser.userDataDir.empty()) << "the browser makes a fresh one";

    Arguments nowhere = Parse({});
    EXPECT_FALSE(ResolveProfile(nowhere, Table({}), why));
    EXPECT_NE(why.find("--user-data-dir"), std::string::npos) << why;
}

// On Windows there is always a screen and the lasting profile lies under LOCALAPPDATA; the browser the
// person names is kept as named, for the system to find.
TEST(CommandLineTest, OnWindowsTheBrowserHasAScreenAndItsProfileLiesUnderLocalAppData) {
    const auto parse = [](std::vector<std::string> words) {
        words.insert(words.begin(), "quillmere.exe");
        return ParseArguments(words, Table({}), HostSystem::Windows);
    };
    EXPECT_FALSE(parse({}).browser.headless);
    EXPECT_TRUE(parse({"--headless"}).browser.headless);
    EXPECT_EQ(parse({"--browser", "edge"}).browserChoice, "edge");
    EXPECT_EQ(parse({"--browser=C:\\Apps\\chrome.exe"}).browserChoice, "C:\\Apps\\chrome.exe");
    EXPECT_EQ(parse({"--browser"}).action, Action::Fail);

    std::string why;
    Arguments lasting = parse({});
    ASSERT_TRUE(ResolveProfile(lasting, Table({{"LOCALAPPDATA", "C:\\Users\\p\\AppData\\Local"}}), why,
                               HostSystem::Windows))
        << why;
    EXPECT_EQ(lasting.browser.userDataDir, "C:\\Users\\p\\AppData\\Local\\Quillmere\\Profile");
    // A HOME of a POSIX shell is no place for it, nor a folder named without its drive.
    for (const char* local : {"", "AppData\\Local", "/home/p"}) {
        Arguments nowhere = parse({});
        EXPECT_FALSE(ResolveProfile(nowhere, Table({{"LOCALAPPDATA", local}, {"HOME", "/home/p"}}), why,
                                    HostSystem::Windows))
            << local;
        EXPECT_NE(why.find("LOCALAPPDATA"), std::string::npos) << why;
    }
}

TEST(CommandLineTest, TheHelpNamesEveryOption) {
    const std::string help = UsageText();
    for (const char* option : {"--help", "--version", "--start-url URL", "--language LANGUAGE",
                               "--user-data-dir DIR", "--temp-profile", "--browser BROWSER",
                               "--chromium PATH", "--headless", "--no-headless", "--browser-output"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(VersionText().rfind("quillmere 4.13", 0), 0u);
}

// The program itself, with no display: what it prints where, and its exit code.
struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ProgramRun RunProgram(const std::string& arguments) {
    const std::string errFile = ::testing::TempDir() + "/quillmere-cli-err.txt";
    const std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY " + std::string(QM_PROGRAM) + " " + arguments + " 2>" + errFile;
    ProgramRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return run;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (FILE* err = std::fopen(errFile.c_str(), "r")) {
        while ((n = std::fread(buffer, 1, sizeof buffer, err)) > 0) {
            run.err.append(buffer, n);
        }
        std::fclose(err);
    }
    return run;
}

TEST(CommandLineTest, TheProgramAnswersHelpVersionAndMistakesWithoutADisplay) {
    const ProgramRun help = RunProgram("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--user-data-dir DIR"), std::string::npos);
    EXPECT_TRUE(help.err.empty()) << help.err;

    const ProgramRun version = RunProgram("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, VersionText());

    const ProgramRun unknown = RunProgram("--frobnicate");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.out.empty());
    EXPECT_NE(unknown.err.find("unknown option '--frobnicate'"), std::string::npos) << unknown.err;

    const ProgramRun missing = RunProgram("--language");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("'--language' needs a value"), std::string::npos) << missing.err;

    // A browser that is not installed is named, and nothing starts.
    const ProgramRun absent = RunProgram("--temp-profile --browser /nowhere/microsoft-edge");
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_NE(absent.err.find("no browser '/nowhere/microsoft-edge' is installed"), std::string::npos)
        << absent.err;
}

}  // namespace
}  // namespace qm::app
