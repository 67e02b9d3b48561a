#include "platform/posix/desktop_opener.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/spawn_process.h"
#include "scratch_folder.h"

namespace qm::posix {
namespace {

using testing::ReadText;
using testing::ScratchFolder;
using testing::WriteText;

// A stand-in for the desktop's opener that writes each argument it was given on a line of its own,
// with the signal mask it started with.
class DesktopOpenerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteText(opener,
                  "#!/bin/sh\n"
                  "out=\"$0.out\"\n"
                  // The mask is read first, with builtins only: the shell blocks signals around a fork.
                  "while IFS= read -r line; do case \"$line\" in SigBlk*) mask=\"$line\";; esac; done"
                  " < /proc/$$/status\n"
                  "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$out.tmp\"; done\n"
                  "printf '%s\\n' \"$mask\" >> \"$out.tmp\"\n"
                  "mv \"$out.tmp\" \"$out\"\n");
        ::chmod(opener.c_str(), 0755);
    }

    // What the opener wrote, once it has run (it runs detached, so this waits for its file).
    std::string Received() {
        const std::string out = opener + ".out";
        for (int i = 0; i < 500 && !std::filesystem::exists(out); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::string text = ReadText(out);
        std::filesystem::remove(out);
        return text;
    }

    // The arguments the opener received, one a line.
    std::string Arguments() {
        const std::string received = Received();
        return received.substr(0, received.find("SigBlk"));
    }

    ScratchFolder folder;
    std::string opener = folder / "fake-open";
    DesktopOpener desktop{opener};
};

TEST_F(DesktopOpenerTest, TheTargetReachesTheOpenerAsOneArgumentUntouchedByAnyShell) {
    const std::vector<std::string> targets = {
        "mailto:someone@example.com?subject=Hi there&body=a;b|c",
        "https://example.com/$(touch " + folder / "pwned" + ")`id`'\"*",
        "mailto:",
    };
    for (const std::string& target : targets) {
        EXPECT_GT(desktop.Open(target), 32) << target;
        EXPECT_EQ(Arguments(), target + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "pwned"));
}

TEST_F(DesktopOpenerTest, FilesMustExistAndCannotPassForOptions) {
    WriteText(folder / "-help.html", "x");
    WriteText(folder / "page with spaces.html", "x");
    ASSERT_EQ(::chdir(folder.Path().c_str()), 0);
    EXPECT_GT(desktop.Open("-help.html"), 32);
    EXPECT_EQ(Arguments(), "./-help.html\n");
    EXPECT_GT(desktop.Open(folder / "page with spaces.html"), 32);
    EXPECT_EQ(Arguments(), folder / "page with spaces.html\n");
    ASSERT_EQ(::chdir("/"), 0);

    EXPECT_EQ(desktop.Open(folder / "missing.html"), DesktopOpener::kFileNotFound);
    EXPECT_EQ(desktop.Open(""), DesktopOpener::kFileNotFound);
    EXPECT_EQ(desktop.Open(std::string("mailto:a\0b", 10)), DesktopOpener::kFileNotFound);
    EXPECT_EQ(DesktopOpener(folder / "no-opener").Open("mailto:x@y"), DesktopOpener::kFileNotFound);
    EXPECT_EQ(desktop.ShellExecute("net", "send host text"), DesktopOpener::kFileNotFound)
        << "programs with parameters are not the opener's business";
    EXPECT_GT(desktop.ShellExecute("mailto:x@y", ""), 32);
    Received();
}

TEST_F(DesktopOpenerTest, TheOpenerStartsWithNoSignalsBlockedEvenWhenThisProgramBlocksSome) {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigset_t old;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &stop, &old), 0);
    EXPECT_GT(desktop.Open("https://example.com/"), 32);
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    const std::string received = Received();
    EXPECT_NE(received.find("SigBlk:\t0000000000000000"), std::string::npos) << received;
}

TEST(DesktopOpenerSchemeTest, TellsAddressesFromPaths) {
    for (const char* address : {"mailto:x@y", "http://a", "x-scheme+v1.2:rest", "MAILTO:x"}) {
        EXPECT_TRUE(DesktopOpener::HasScheme(address)) << address;
    }
    for (const char* path : {"c:\\x", "/tmp/a:b", "a b:c", "1http:x", ":x", "readme.txt", ""}) {
        EXPECT_FALSE(DesktopOpener::HasScheme(path)) << path;
    }
}

}  // namespace
}  // namespace qm::posix
