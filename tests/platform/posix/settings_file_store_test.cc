#include "platform/posix/settings_file_store.h"

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "base/platform_error.h"
#include "scratch_folder.h"

namespace qm::posix {
namespace {

using testing::ReadText;
using testing::ScratchFolder;
using testing::WriteText;

constexpr char kEnglish[] = "Varrow Quillmere 4.13";
constexpr char kChinese[] =
    "\xE7\xB1\xB3\xE7\x91\x9E\xE5\xB0\x94\xE4\xB9\x8B"
    "IE\xE5\x8A\xA9\xE6\x89\x8B";

class SettingsFileStoreTest : public ::testing::Test {
  protected:
    std::string Get(const std::string& key, const std::string& app = kEnglish) {
        return store.GetSetting(app, app, key);
    }
    void Save(const std::string& key, const std::string& value, const std::string& app = kEnglish) {
        store.SaveSetting(app, app, key, value);
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder / "quillmere")) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    ScratchFolder folder;
    std::string path = folder / "quillmere/settings.ini";
    SettingsFileStore store{path};
};

TEST_F(SettingsFileStoreTest, MissingFileReadsEmptyAndTheFirstWriteMakesAPrivateFolderAndFile) {
    EXPECT_EQ(Get("Ready"), "");
    EXPECT_FALSE(std::filesystem::exists(folder / "quillmere")) << "reading creates nothing";

    Save("Ready", "True");
    struct stat info {};
    ASSERT_EQ(::stat((folder / "quillmere").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(Get("Ready"), "True");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"settings.ini"}) << "no temporary file stays";
}

TEST_F(SettingsFileStoreTest, EveryByteOfNamesAndValuesComesBackFromAFreshStore) {
    const std::vector<std::string> texts = {
        "",
        "True",
        "  padded both ends  ",
        "a=b=c",
        "back\\slash \\x41 \\n",
        "line one\nline two\r\n",
        "#not a comment; [nor a group]",
        std::string("nul\0inside\x01\x7F", 12),
        "\t tab and space \t",
        "\xE4\xB8\xAD\xE6\x96\x87 and \xFF\xFE bytes",
    };
    const std::vector<std::string> apps = {kEnglish, kChinese, "a/b [c] = #d; ", " ", "x\\y"};
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string& app = apps[i % apps.size()];
        store.SaveSetting(app, "Section " + texts[i], "Key " + texts[i], texts[i]);
    }
    SettingsFileStore fresh(path);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string& app = apps[i % apps.size()];
        EXPECT_EQ(fresh.GetSetting(app, "Section " + texts[i], "Key " + texts[i]), texts[i]) << i;
    }
    // The file stays plain text, one item a line, that a person can read and edit.
    const std::string text = ReadText(path);
    for (const char c : text) {
        EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << "raw control byte in the file";
    }
    EXPECT_EQ(fresh.GetSetting(kEnglish, kEnglish, "Key True"), "") << "a different section";
}

TEST_F(SettingsFileStoreTest, TheFileReadsAsAPersonExpects) {
    Save("KillMsg", "True");
    Save("KillBanner", "False");
    Save("KillMsg", "False");
    Save("Ready", "True", kChinese);
    const std::string text = ReadText(path);
    EXPECT_NE(text.find("\n[Varrow Quillmere 4.13/Varrow Quillmere 4.13]\nKillMsg=False\nKillBanner=False\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(std::string("\n[") + kChinese + "/" + kChinese + "]\nReady=True\n"),
              std::string::npos)
        << "UTF-8 titles are written as they are";
}

TEST_F(SettingsFileStoreTest, ApplicationsAndSectionsKeepTheirOwnValues) {
    Save("KillFloat", "True");
    Save("KillFloat", "False", kChinese);
    store.SaveSetting(kEnglish, "Other", "KillFloat", "7");
    store.SaveSetting("Another program", kEnglish, "KillFloat", "x");
    Save("KillFlash", "True");  // rewriting one application keeps the others
    EXPECT_EQ(Get("KillFloat"), "True");
    EXPECT_EQ(Get("KillFloat", kChinese), "False");
    EXPECT_EQ(store.GetSetting(kEnglish, "Other", "KillFloat"), "7");
    EXPECT_EQ(store.GetSetting("Another program", kEnglish, "KillFloat"), "x");
    EXPECT_EQ(Get("killfloat"), "") << "names are matched exactly";
}

struct HandEditCase {
    const char* what;
    std::string file;
    std::vector<std::pair<std::string, std::string>> expected;  // key -> value under [A/S]
};

class HandEditedFileTest : public ::testing::TestWithParam<HandEditCase> {};

TEST_P(HandEditedFileTest, ReadsWhatParsesAndTheNextWriteKeepsItAll) {
    ScratchFolder folder;
    const std::string path = folder / "settings.ini";
    WriteText(path, GetParam().file);
    SettingsFileStore store(path);
    for (const auto& [key, value] : GetParam().expected) {
        EXPECT_EQ(store.GetSetting("A", "S", key), value) << GetParam().what << ": " << key;
    }
    // A write rewrites the file cleanly and keeps every value that was read.
    store.SaveSetting("A", "S", "Written", "yes");
    const std::string rewritten = ReadText(path);
    EXPECT_EQ(rewritten.find("garbage"), std::string::npos) << GetParam().what << "\n" << rewritten;
    for (const auto& [key, value] : GetParam().expected) {
        EXPECT_EQ(store.GetSetting("A", "S", key), value) << GetParam().what << " after a write: " << key;
    }
    EXPECT_EQ(store.GetSetting("A", "S", "Written"), "yes");
    // The rewritten file is in its final form: writing a value it holds changes nothing.
    store.SaveSetting("A", "S", "Written", "yes");
    EXPECT_EQ(ReadText(path), rewritten);
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    HandEditedFileTest,
    ::testing::Values(HandEditCase{"blanks around everything",
                                   "  [ A / S ]  \n\t Key1 =  one two \t\n Key2=\n",
                                   {{"Key1", "one two"}, {"Key2", ""}}},
                      HandEditCase{"Windows line ends, a byte order mark, comments",
                                   "\xEF\xBB\xBF# comment\r\n[A/S]\r\n; also a comment\r\nKey=v\r\n\r\n",
                                   {{"Key", "v"}, {"# comment", ""}}},
                      HandEditCase{"a key given twice has its last value; a group given twice is one group",
                                   "[A/S]\nKey=first\nOther=o\n[B/S]\nKey=b\n[A/S]\nKey=last\n",
                                   {{"Key", "last"}, {"Other", "o"}}},
                      HandEditCase{"lines that do not parse are passed over",
                                   "[A/S]\ngarbage without equals\nKey=v\n=garbage no key\nBad=\\q garbage\n"
                                   "Cut=\\x4 garbage\nHex=\\x41\\x3d\nNext=n\n",
                                   {{"Key", "v"}, {"Bad", ""}, {"Cut", ""}, {"Hex", "A="}, {"Next", "n"}}},
                      HandEditCase{"a group line that lost a bracket still names its group",
                                   "[B/S]\nOther=o\n[A/S\nKey=v\nA/S]\nMore=m\n",
                                   {{"Key", "v"}, {"More", "m"}, {"Other", ""}}},
                      HandEditCase{
                          "values under a broken group line belong to no group",
                          "[A/S]\nKey=v\n[A/S\\q garbage\nLost=1\n[A/S/T]\nAlsoLost=2\n[A/S]\nFound=3\n",
                          {{"Key", "v"}, {"Lost", ""}, {"AlsoLost", ""}, {"Found", "3"}}},
                      HandEditCase{"values before any group are passed over",
                                   "Orphan=garbage\n[A/S]\nKey=v\n",
                                   {{"Orphan", ""}, {"Key", "v"}}},
                      HandEditCase{"a raw control byte marks a damaged line",
                                   std::string("[A/S]\nKey=v\x01 garbage\nNul=\0 garbage\nOk=1\n", 40),
                                   {{"Key", ""}, {"Nul", ""}, {"Ok", "1"}}},
                      HandEditCase{"the last line needs no line end",
                                   "[A/S]\nKey=v\nLast=end",
                                   {{"Key", "v"}, {"Last", "end"}}},
                      HandEditCase{"an empty file", "", {{"Key", ""}}}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

TEST_F(SettingsFileStoreTest, AFileCutAtAnyByteKeepsEveryCompleteLine) {
    Save("Ready", "True");
    Save("WindowFixed", "False");
    Save("Title", "line\nbreak and \\ slash");
    Save("Ready", "True", kChinese);
    const std::string whole = ReadText(path);
    const std::vector<std::string> keys = {"Ready", "WindowFixed", "Title"};
    std::vector<std::string> full;
    for (const auto& key : keys) {
        full.push_back(Get(key));
    }

    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
        const std::string part = whole.substr(0, cut);
        WriteText(path, part);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const std::string value = Get(keys[k]);
            const std::string line = keys[k] + "=";
            const std::size_t at = whole.find("\n" + line);
            const std::size_t lineEnd = whole.find('\n', at + 1);
            if (cut > lineEnd) {
                EXPECT_EQ(value, full[k]) << "cut at " << cut << ": a complete line is read in full";
            } else {
                // The cut line itself: nothing, or the part of the value that survived.
                EXPECT_EQ(full[k].compare(0, value.size(), value), 0) << "cut at " << cut << ": " << value;
            }
        }
        if (cut % 4 != 0) {
            continue;  // rewriting after every fourth cut is enough to see the rewrite keep what was read
        }
        // The next write leaves a whole file that keeps what was read.
        const std::string readyBefore = Get("Ready", kChinese);
        Save("Extra", "1");
        EXPECT_EQ(Get("Ready", kChinese), readyBefore);
        const std::string rewritten = ReadText(path);
        ASSERT_FALSE(rewritten.empty());
        EXPECT_EQ(rewritten.back(), '\n');
    }
}

TEST_F(SettingsFileStoreTest, DamagedGroupLineKeepsItsValuesAndTheFileIsKeptBesideTheNewOne) {
    std::filesystem::create_directories(folder / "quillmere");
    const std::string damaged = std::string("# mine\n[") + kEnglish + "/" + kEnglish +
                                "\nReady=True\nKillMsg=False\nKillBanner=True\nhalf a line\n";
    WriteText(path, damaged);
    // Every value line is still read under the group its damaged line names.
    EXPECT_EQ(Get("Ready"), "True");
    EXPECT_EQ(Get("KillMsg"), "False");
    EXPECT_EQ(Get("KillBanner"), "True");

    // Start-up writes the options back: the damaged file is kept, byte for byte, before it is replaced.
    Save("KillMsg", "False");
    EXPECT_EQ(ReadText(path + ".damaged"), damaged);
    struct stat copy {};
    ASSERT_EQ(::stat((path + ".damaged").c_str(), &copy), 0);
    EXPECT_EQ(copy.st_mode & 0777, 0600u) << "private, like the settings";
    EXPECT_NE(ReadText(path).find(std::string("\n[") + kEnglish + "/" + kEnglish + "]\nReady=True\n"),
              std::string::npos);
    EXPECT_EQ(Get("KillBanner"), "True");

    // A clean file is rewritten without a copy; a second damage is kept under a name of its own.
    Save("KillFlash", "True");
    EXPECT_EQ(FolderEntries().size(), 2u);
    const std::string second = ReadText(path) + "KillFloat\n";
    WriteText(path, second);
    Save("KillFlash", "False");
    EXPECT_EQ(ReadText(path + ".damaged"), damaged) << "the first copy stays";
    EXPECT_EQ(ReadText(path + ".damaged-2"), second);
}

TEST_F(SettingsFileStoreTest, ADamagedFileThatCannotBeKeptIsNotWrittenOver) {
    std::filesystem::create_directories(folder / "quillmere");
    const std::string damaged = "[A/S\nKey=v\n";
    WriteText(path, damaged);
    // Something that is no file stands at the first name, and the last name cannot be written either.
    std::filesystem::create_directories(path + ".damaged");
    for (int n = 2; n <= 10; ++n) {
        std::filesystem::create_directories(path + ".damaged-" + std::to_string(n));
    }
    EXPECT_THROW(store.SaveSetting("A", "S", "Key", "w"), PlatformError);
    EXPECT_EQ(ReadText(path), damaged);
    EXPECT_EQ(store.GetSetting("A", "S", "Key"), "v");
}

TEST_F(SettingsFileStoreTest, AWriteThatChangesNothingLeavesTheFileAlone) {
    Save("KillMsg", "True");
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    Save("KillMsg", "True");
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    Save("KillMsg", "False");
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "a change replaces the file";
}

TEST_F(SettingsFileStoreTest, ASymbolicLinkStaysALinkAndItsTargetIsReplaced) {
    std::filesystem::create_directories(folder / "quillmere");
    std::filesystem::create_directories(folder / "dotfiles");
    WriteText(folder / "dotfiles/quillmere.ini", "[A/S]\nKey=old\n");
    std::filesystem::create_symlink("../dotfiles/quillmere.ini", path);
    store.SaveSetting("A", "S", "Key", "new");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(store.GetSetting("A", "S", "Key"), "new");
    EXPECT_NE(ReadText(folder / "dotfiles/quillmere.ini").find("Key=new"), std::string::npos);
}

TEST_F(SettingsFileStoreTest, ATemporaryFileLeftByAKilledWriterGoesWithTheNextWrite) {
    Save("Ready", "True");
    WriteText(folder / "quillmere/settings.ini.tmp-AbC123", "[A/S]\nHalf=");
    WriteText(folder / "quillmere/notes.txt", "mine");
    Save("KillMsg", "True");
    auto entries = FolderEntries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"notes.txt", "settings.ini"}));
}

TEST_F(SettingsFileStoreTest, WhatIsNotASettingsFileIsReportedNotRead) {
    std::filesystem::create_directories(path);  // a folder where the file should be
    EXPECT_THROW(Get("Ready"), PlatformError);
    EXPECT_THROW(Save("Ready", "True"), PlatformError);
    std::filesystem::remove(path);

    WriteText(path, std::string(5 << 20, 'x'));
    EXPECT_THROW(Get("Ready"), PlatformError);
    EXPECT_THROW(Save("Ready", "True"), PlatformError);
    EXPECT_EQ(std::filesystem::file_size(path), 5u << 20) << "a file that was not understood is not replaced";
}

TEST_F(SettingsFileStoreTest, AFolderThatCannotBeMadeFailsWithTheFileNamed) {
    WriteText(folder / "quillmere", "a file, not a folder");
    EXPECT_EQ(Get("Ready"), "") << "nothing can be stored there, so nothing is";
    try {
        Save("Ready", "True");
        ADD_FAILURE() << "the write must fail";
    } catch (const PlatformError& e) {
        EXPECT_NE(e.Description().find(path), std::string::npos) << e.Description();
        EXPECT_NE(e.Description().find("Not a directory"), std::string::npos) << e.Description();
    }
    EXPECT_EQ(ReadText(folder / "quillmere"), "a file, not a folder");
}

// Runs `check` in a child process as an ordinary user (root passes every permission check), and
// returns its exit status.
int RunAsOrdinaryUser(const std::string& folder, const std::function<int()>& check) {
    constexpr uid_t kNobody = 65534;
    if (::geteuid() == 0) {
        std::filesystem::path p = folder;
        for (auto it = std::filesystem::recursive_directory_iterator(p);
             it != std::filesystem::recursive_directory_iterator(); ++it) {
            if (::lchown(it->path().c_str(), kNobody, kNobody) != 0) {
                return 100;
            }
        }
        if (::chown(folder.c_str(), kNobody, kNobody) != 0) {
            return 100;
        }
    }
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(101);
        }
        const int result = check();
        std::fflush(nullptr);
        ::_exit(result);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 102;
}

TEST_F(SettingsFileStoreTest, AReadOnlyFolderOrFileFailsClearlyAndKeepsTheOldFile) {
    Save("KillMsg", "True");
    ::chmod((folder / "quillmere").c_str(), 0500);
    const int result = RunAsOrdinaryUser(folder.Path(), [&] {
        SettingsFileStore own(path);
        if (own.GetSetting(kEnglish, kEnglish, "KillMsg") != "True") {
            return 1;
        }
        try {
            own.SaveSetting(kEnglish, kEnglish, "KillMsg", "False");
            return 2;
        } catch (const PlatformError& e) {
            std::fprintf(stderr, "%s\n", e.what());
            if (e.Description().find(path) == std::string::npos ||
                e.Description().find("Permission denied") == std::string::npos) {
                return 3;
            }
        }
        return own.GetSetting(kEnglish, kEnglish, "KillMsg") == "True" ? 0 : 4;
    });
    EXPECT_EQ(result, 0);

    ::chmod((folder / "quillmere").c_str(), 0700);
    ::chmod(path.c_str(), 0);
    const int unreadable = RunAsOrdinaryUser(folder.Path(), [&] {
        SettingsFileStore own(path);
        try {
            own.GetSetting(kEnglish, kEnglish, "KillMsg");
            return 1;
        } catch (const PlatformError& e) {
            return e.Description().find("Cannot read the settings file") == 0 ? 0 : 2;
        }
    });
    EXPECT_EQ(unreadable, 0) << "a file that exists but cannot be read is not taken for an empty one";
}

TEST(SettingsFileStorePathTest, FollowsTheDesktopsConfigurationFolder) {
    const char* savedConfig = ::getenv("XDG_CONFIG_HOME");
    const char* savedHome = ::getenv("HOME");
    const std::string config = savedConfig ? savedConfig : "";
    const std::string home = savedHome ? savedHome : "";

    ::setenv("XDG_CONFIG_HOME", "/cfg/", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(SettingsFileStore::UserSettingsPath(), "/cfg/quillmere/settings.ini");
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    EXPECT_EQ(SettingsFileStore::UserSettingsPath(), "/home/someone/.config/quillmere/settings.ini");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(SettingsFileStore::UserSettingsPath(), "/home/someone/.config/quillmere/settings.ini");
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("HOME");
    const std::string fromAccount = SettingsFileStore::UserSettingsPath();
    EXPECT_EQ(fromAccount.front(), '/');
    EXPECT_TRUE(fromAccount.ends_with("/.config/quillmere/settings.ini")) << fromAccount;

    savedConfig ? ::setenv("XDG_CONFIG_HOME", config.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    savedHome ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
}

// A writer killed at any moment leaves the old file or the new one, each complete.
TEST(SettingsFileStoreKillTest, AWriterKilledAtAnyMomentLeavesACompleteFile) {
    ScratchFolder folder;
    const std::string path = folder / "quillmere/settings.ini";
    // Large values make each write take many system calls, so kills land in the middle of them.
    const auto payload = [](int generation) {
        std::string text = "generation " + std::to_string(generation) + ":";
        while (text.size() < 200000) {
            text += "0123456789abcdef" + std::to_string(generation);
        }
        return text;
    };
    const auto generationOf = [](const std::string& value) {
        return std::atoi(value.c_str() + std::string("generation ").size());
    };
    {
        SettingsFileStore store(path);
        store.SaveSetting("Another program", "S", "Kept", "kept \\ = \xE4\xB8\xAD");
        store.SaveSetting(kEnglish, kEnglish, "Blob", payload(0));
        store.SaveSetting(kEnglish, kEnglish, "Tail", "after the blob");
    }
    // Kills are spread over about two writes' time, however long a write takes on this disk.
    int writeMicroseconds = 0;
    {
        SettingsFileStore store(path);
        const auto start = std::chrono::steady_clock::now();
        for (int generation = 1; generation <= 5; ++generation) {
            store.SaveSetting(kEnglish, kEnglish, "Blob", payload(generation % 2));
        }
        writeMicroseconds = static_cast<int>(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                .count() /
            5);
        store.SaveSetting(kEnglish, kEnglish, "Blob", payload(0));
    }

    std::mt19937 random(12345);
    int killsInTheMiddle = 0;
    int lastGeneration = 0;
    constexpr int kRounds = 60;
    for (int round = 0; round < kRounds; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        std::fflush(nullptr);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            SettingsFileStore store(path);
            for (int generation = lastGeneration + 1;; ++generation) {
                store.SaveSetting(kEnglish, kEnglish, "Blob", payload(generation));
                if (generation == lastGeneration + 1) {
                    const char byte = 1;
                    (void)!::write(ready[1], &byte, 1);
                }
            }
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the writer died by itself";
        ::close(ready[0]);
        ::usleep(std::uniform_int_distribution<int>(0, 2 * writeMicroseconds)(random));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        for (const auto& entry : std::filesystem::directory_iterator(folder / "quillmere")) {
            killsInTheMiddle += entry.path().filename() != "settings.ini";
        }
        SettingsFileStore reader(path);
        const std::string blob = reader.GetSetting(kEnglish, kEnglish, "Blob");
        const int generation = generationOf(blob);
        ASSERT_EQ(blob, payload(generation)) << "round " << round << ": a torn value";
        ASSERT_GE(generation, lastGeneration + 1) << "round " << round << ": a written value was lost";
        ASSERT_EQ(reader.GetSetting(kEnglish, kEnglish, "Tail"), "after the blob") << "round " << round;
        ASSERT_EQ(reader.GetSetting("Another program", "S", "Kept"), "kept \\ = \xE4\xB8\xAD");
        lastGeneration = generation;
    }
    // How many kills left a temporary file behind: those certainly hit a write half-way. The others hit
    // between writes or while the renamed file was being flushed, which the checks above cover as well.
    std::printf("%d of %d kills left a half-written temporary file (a write takes %d us here)\n",
                killsInTheMiddle, kRounds, writeMicroseconds);
    RecordProperty("KillsInTheMiddleOfAWrite", killsInTheMiddle);
}

}  // namespace
}  // namespace qm::posix
