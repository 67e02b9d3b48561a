#include "platform/posix/single_instance.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/posix/poll_event_loop.h"
#include "platform/posix/posix_process_services.h"
#include "scratch_folder.h"

namespace qm::posix {
namespace {

using testing::ScratchFolder;
using testing::WriteText;

// Runs `body` in a child process and answers its exit code (-1 when it did not exit by itself).
int InChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SingleInstanceTest : public ::testing::Test {
  protected:
    ScratchFolder folder;
    std::string fallback = folder / ("quillmere-" + std::to_string(::geteuid()));
};

TEST_F(SingleInstanceTest, AnOwnRuntimeFolderIsUsedAndWithoutOneAPrivateFolderIsMade) {
    std::string why;
    EXPECT_EQ(UserRuntimeFolder(folder.Path().c_str(), why, folder.Path()), folder.Path());

    EXPECT_EQ(UserRuntimeFolder(nullptr, why, folder.Path()), fallback) << why;
    struct stat info {};
    ASSERT_EQ(::lstat(fallback.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(UserRuntimeFolder(nullptr, why, folder.Path()), fallback) << "made once, then found again";

    const std::string open = folder / "open-runtime";
    std::filesystem::create_directory(open);
    ::chmod(open.c_str(), 0777);
    EXPECT_EQ(UserRuntimeFolder(open.c_str(), why, folder.Path()), fallback)
        << "a runtime folder others may write to is not the user's own";
    EXPECT_EQ(UserRuntimeFolder("relative/run", why, folder.Path()), fallback);
}

// Another account got to the fallback name first, in each of the ways it could. The person's copy must
// neither trust it nor count it as a running copy of its own.
TEST_F(SingleInstanceTest, AHostileFallbackIsNeverTrustedAndTheCopyStillRuns) {
    const std::string elsewhere = folder / "elsewhere";
    std::filesystem::create_directory(elsewhere);
    ::chmod(elsewhere.c_str(), 0700);
    struct Plant {
        const char* what;
        std::function<bool()> make;  // false: cannot be made here (needs the superuser)
    };
    const std::vector<Plant> plants = {
        {"a plain file",
         [&] {
             WriteText(fallback, "x");
             return true;
         }},
        {"a link to a folder of the user's",
         [&] { return ::symlink(elsewhere.c_str(), fallback.c_str()) == 0; }},
        {"a folder open to everyone",
         [&] { return ::mkdir(fallback.c_str(), 0700) == 0 && ::chmod(fallback.c_str(), 01777) == 0; }},
        {"a folder of another user's",
         [&] {
             return ::geteuid() == 0 && ::mkdir(fallback.c_str(), 0700) == 0 &&
                    ::chown(fallback.c_str(), 65534, 65534) == 0;
         }},
    };
    for (const Plant& plant : plants) {
        std::filesystem::remove_all(fallback);
        if (!plant.make()) {
            continue;
        }
        std::string why;
        EXPECT_EQ(UserRuntimeFolder(nullptr, why, folder.Path()), "") << plant.what;
        EXPECT_FALSE(why.empty()) << plant.what;
        // Whoever planted it holds a lock in it; it is not looked at.
        const int held = ::open((fallback + "/quillmere.lock").c_str(), O_RDWR | O_CREAT, 0666);
        SingleInstance instance(UserRuntimeFolder(nullptr, why, folder.Path()));
        EXPECT_EQ(instance.Claim(), SingleInstance::Role::First) << plant.what;
        EXPECT_EQ(InChild([&] {
                      SingleInstance other(UserRuntimeFolder(nullptr, why, folder.Path()));
                      return other.Claim() == SingleInstance::Role::First ? 0 : 1;
                  }),
                  0)
            << plant.what << ": without a trusted folder every copy runs";
        if (held >= 0) {
            ::close(held);
        }
    }
}

TEST_F(SingleInstanceTest, ALaterCopyHandsItsAddressToTheFirstAndTheFirstHearsIt) {
    PollEventLoop loop;
    SingleInstance first(folder.Path());
    ASSERT_EQ(first.Claim(), SingleInstance::Role::First);
    std::vector<std::string> heard;
    first.Listen(loop, [&](const std::string& address) { heard.push_back(address); });
    struct stat info {};
    ASSERT_EQ(::stat(first.SocketPath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u) << "the socket is the user's alone";

    const auto later = [&](const std::string& address) {
        return InChild([&] {
            SingleInstance second(folder.Path());
            if (second.Claim() != SingleInstance::Role::Second) {
                return 2;
            }
            std::string why;
            return second.Hand(address, why) ? 0 : 1;
        });
    };
    EXPECT_EQ(later("https://example.org/a b?c=1#d"), 0);
    EXPECT_EQ(later(""), 0);
    ASSERT_TRUE(loop.RunUntil([&] { return heard.size() == 2; }, 5000));
    EXPECT_EQ(heard[0], "https://example.org/a b?c=1#d");
    EXPECT_EQ(heard[1], "") << "no address: a new window";

    // The program's own PrevInstance gives the same answer as the decision taken at start.
    PosixProcessServices services(first, nullptr);
    EXPECT_FALSE(services.PrevInstance());
}

TEST_F(SingleInstanceTest, AFirstCopyThatDoesNotAnswerIsReportedNotWaitedForForever) {
    SingleInstance first(folder.Path());
    ASSERT_EQ(first.Claim(), SingleInstance::Role::First);  // holds the lock, never listens
    SingleInstance second(folder.Path());
    ASSERT_EQ(second.Claim(), SingleInstance::Role::Second);
    std::string why;
    EXPECT_FALSE(second.Hand("", why, 300));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(second.Hand("two\nlines", why, 300)) << "a request is one line";
}

TEST_F(SingleInstanceTest, ACopyThatCrashedLeavesNothingThatStopsTheNext) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t crashed = ::fork();
    if (crashed == 0) {
        PollEventLoop loop;
        SingleInstance instance(folder.Path());
        instance.Claim();
        instance.Listen(loop, [](const std::string&) {});
        const char c = 'r';
        if (::write(ready[1], &c, 1) != 1) {
            ::_exit(1);
        }
        for (;;) {
            ::pause();
        }
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ::kill(crashed, SIGKILL);
    ::waitpid(crashed, nullptr, 0);
    EXPECT_TRUE(std::filesystem::exists(folder / "quillmere.socket")) << "the crash left its socket";

    PollEventLoop loop;
    SingleInstance next(folder.Path());
    ASSERT_EQ(next.Claim(), SingleInstance::Role::First);
    bool heard = false;
    next.Listen(loop, [&](const std::string&) { heard = true; });
    EXPECT_EQ(InChild([&] {
                  SingleInstance later(folder.Path());
                  std::string why;
                  return later.Claim() == SingleInstance::Role::Second && later.Hand("", why) ? 0 : 1;
              }),
              0);
    EXPECT_TRUE(loop.RunUntil([&] { return heard; }, 5000));
}

}  // namespace
}  // namespace qm::posix
