#include "platform/posix/posix_process_services.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "scratch_folder.h"

namespace qm::posix {
namespace {

using testing::ReadText;
using testing::ScratchFolder;
using testing::WriteText;

// Another copy of the program in a process of its own: it asks whether a copy runs already, tells the
// answer through a pipe, and then keeps its lock until it is killed.
class OtherCopy {
  public:
    explicit OtherCopy(const std::string& lockPath) {
        int ends[2];
        if (::pipe(ends) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ends[0]);
            PosixProcessServices services(lockPath, nullptr);
            const char answer = services.PrevInstance() ? 'y' : 'n';
            if (::write(ends[1], &answer, 1) != 1) {
                ::_exit(1);
            }
            for (;;) {
                ::pause();
            }
        }
        ::close(ends[1]);
        char answer = 0;
        if (pid_ > 0 && ::read(ends[0], &answer, 1) == 1) {
            sawPrevious_ = answer == 'y';
        }
        ::close(ends[0]);
    }
    OtherCopy(const OtherCopy&) = delete;
    OtherCopy& operator=(const OtherCopy&) = delete;
    ~OtherCopy() { Crash(); }

    // What the other copy was told; nothing when it could not be started.
    std::optional<bool> SawPrevious() const { return sawPrevious_; }

    // Ends the process at once, as a crash would: nothing of the program runs on the way out.
    void Crash() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

  private:
    pid_t pid_ = -1;
    std::optional<bool> sawPrevious_;
};

class PosixProcessServicesTest : public ::testing::Test {
  protected:
    ScratchFolder folder;
    std::string lockPath = folder / "quillmere.lock";
};

TEST_F(PosixProcessServicesTest, TheFirstCopyRunsAndASecondIsToldOfIt) {
    PosixProcessServices first(lockPath, nullptr);
    EXPECT_FALSE(first.PrevInstance());
    EXPECT_FALSE(first.PrevInstance())
        << "asking again, the copy holding the lock is not its own previous one";

    PosixProcessServices second(lockPath, nullptr);
    EXPECT_TRUE(second.PrevInstance());
    EXPECT_TRUE(second.PrevInstance());

    OtherCopy other(lockPath);
    ASSERT_TRUE(other.SawPrevious().has_value()) << "the other process did not start";
    EXPECT_TRUE(*other.SawPrevious()) << "a copy in another process is told too";
}

TEST_F(PosixProcessServicesTest, ACopyInAnotherProcessHoldsTheLockUntilItEnds) {
    OtherCopy other(lockPath);
    ASSERT_TRUE(other.SawPrevious().has_value()) << "the other process did not start";
    EXPECT_FALSE(*other.SawPrevious());
    {
        PosixProcessServices services(lockPath, nullptr);
        EXPECT_TRUE(services.PrevInstance());
    }
    other.Crash();
    EXPECT_TRUE(std::filesystem::exists(lockPath)) << "the crashed copy left its lock file behind";
    PosixProcessServices next(lockPath, nullptr);
    EXPECT_FALSE(next.PrevInstance()) << "a file left behind does not keep the next copy from running";
}

TEST_F(PosixProcessServicesTest, TheLockGoesWithTheCopyThatHeldIt) {
    auto first = std::make_unique<PosixProcessServices>(lockPath, nullptr);
    ASSERT_FALSE(first->PrevInstance());
    PosixProcessServices second(lockPath, nullptr);
    EXPECT_TRUE(second.PrevInstance());
    first.reset();
    EXPECT_FALSE(second.PrevInstance()) << "once the first copy has gone, the second may run";
    PosixProcessServices third(lockPath, nullptr);
    EXPECT_TRUE(third.PrevInstance()) << "and now holds the lock itself";
}

TEST_F(PosixProcessServicesTest, CopiesWithLocksOfTheirOwnRunSideBySideWhateverTheirMutex) {
    PosixProcessServices first(folder / "one.lock", nullptr);
    PosixProcessServices second(folder / "two.lock", nullptr);
    first.CreateMutex("QuillmereMutex");
    second.CreateMutex("QuillmereMutex");
    EXPECT_EQ(second.MutexName(), "QuillmereMutex");
    EXPECT_FALSE(first.PrevInstance());
    EXPECT_FALSE(second.PrevInstance()) << "the answer rests on the lock alone";
}

TEST_F(PosixProcessServicesTest, ALockFileThatCannotBeMadeLetsTheCopyRun) {
    PosixProcessServices services(folder / "no-such-folder/quillmere.lock", nullptr);
    EXPECT_FALSE(services.PrevInstance());
    EXPECT_FALSE(std::filesystem::exists(folder / "no-such-folder"));
}

TEST_F(PosixProcessServicesTest, TheLockFileIsTheUsersAloneAndItsContentIsLeftAlone) {
    PosixProcessServices fresh(lockPath, nullptr);
    ASSERT_FALSE(fresh.PrevInstance());
    struct stat info {};
    ASSERT_EQ(::stat(lockPath.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    const std::string existing = folder / "existing.lock";
    WriteText(existing, "kept");
    PosixProcessServices services(existing, nullptr);
    EXPECT_FALSE(services.PrevInstance());
    EXPECT_EQ(ReadText(existing), "kept");
}

// Sets an environment variable for the length of a test and puts the old value back.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = ::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(PosixProcessServicesTest, WithoutAPathTheLockLivesInTheUsersRuntimeFolder) {
    const ScopedEnvironment runtime("XDG_RUNTIME_DIR", folder.Path());
    PosixProcessServices services("", nullptr);
    ASSERT_FALSE(services.PrevInstance());
    EXPECT_TRUE(std::filesystem::exists(lockPath));
    PosixProcessServices second(lockPath, nullptr);
    EXPECT_TRUE(second.PrevInstance()) << "a copy given the same file by name is told of the first";
}

TEST_F(PosixProcessServicesTest, AppPathIsTheFolderOfTheRunningProgram) {
    PosixProcessServices services(lockPath, nullptr);
    const std::string path = services.AppPath();
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.back(), '/') << "no trailing separator";
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_TRUE(std::filesystem::equivalent(path + "/" + self.filename().string(), "/proc/self/exe"));
}

TEST_F(PosixProcessServicesTest, EndProcessAsksTheLoopToStopEachTime) {
    int stops = 0;
    PosixProcessServices services(lockPath, [&] { ++stops; });
    services.InitCommonControls(8, 0xFF);
    services.EndProcess();
    EXPECT_EQ(stops, 1);
    services.EndProcess();
    EXPECT_EQ(stops, 2);

    PosixProcessServices withoutLoop(lockPath, nullptr);
    EXPECT_NO_THROW(withoutLoop.EndProcess());
}

}  // namespace
}  // namespace qm::posix
