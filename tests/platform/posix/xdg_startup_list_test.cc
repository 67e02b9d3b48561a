#include "platform/posix/xdg_startup_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scratch_folder.h"

namespace qm::posix {
namespace {

using testing::ScratchFolder;
using testing::WriteText;

class XdgStartupListTest : public ::testing::Test {
  protected:
    void Entry(const std::string& name, const std::string& exec) {
        WriteText(folder / (name + ".desktop"),
                  "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n");
    }

    // Every answer of the list for one key, in index order, as "name=data" or "?" for Unreadable.
    std::vector<std::string> Enumerate(StartupKeyValue key) {
        std::vector<std::string> out;
        for (std::uint32_t index = 0; index < 100; ++index) {
            StartupValue value;
            const StartupEnumResult result = list.EnumValue(key, index, value);
            if (result == StartupEnumResult::NoMoreValues) {
                return out;
            }
            out.push_back(result == StartupEnumResult::Value ? value.name + "=" + value.data : "?");
        }
        ADD_FAILURE() << "the enumeration does not end";
        return out;
    }

    ScratchFolder folder;
    XdgStartupList list{folder.Path()};
};

TEST_F(XdgStartupListTest, ListsDesktopEntriesSortedByNameWithTheirCommandLines) {
    Entry("zeta", "/usr/bin/zeta --start");
    Entry("Alpha", "/opt/x/AUTOREG.EXE /s");
    Entry("beta", "beta");
    WriteText(folder / "readme.txt", "not an entry");
    WriteText(folder / ".desktop", "[Desktop Entry]\nExec=nameless\n");
    std::filesystem::create_directory(folder / "sub");
    WriteText(folder / "sub/inner.desktop", "[Desktop Entry]\nExec=inner\n");

    const StartupKey key(list, list.Open());
    ASSERT_TRUE(key);
    EXPECT_EQ(Enumerate(key.Value()), (std::vector<std::string>{"Alpha=/opt/x/AUTOREG.EXE /s", "beta=beta",
                                                                "zeta=/usr/bin/zeta --start"}));
}

TEST_F(XdgStartupListTest, EntriesThatCannotBeReadAreMarkedAndTheOnesAfterThemStillCount) {
    Entry("a-first", "first");
    std::filesystem::create_directory(folder / "b-folder.desktop");
    std::filesystem::create_symlink(folder / "missing-target", folder / "c-dangling.desktop");
    ASSERT_EQ(::mkfifo((folder / "d-pipe.desktop").c_str(), 0600), 0);
    WriteText(folder / "e-huge.desktop", "[Desktop Entry]\nExec=huge\n" + std::string(2 << 20, '#'));
    Entry("f-last", "last");
    WriteText(folder / "g-empty.desktop", "");

    const StartupKey key(list, list.Open());
    EXPECT_EQ(Enumerate(key.Value()),
              (std::vector<std::string>{"a-first=first", "?", "?", "?", "?", "f-last=last", "g-empty="}));
}

TEST_F(XdgStartupListTest, TheSnapshotOfOpenKeepsIndicesStable) {
    Entry("one", "1");
    Entry("three", "3");
    const StartupKey key(list, list.Open());
    Entry("two", "2");                                // added after Open: not in this snapshot
    std::filesystem::remove(folder / "one.desktop");  // removed after Open: unreadable at its index
    EXPECT_EQ(Enumerate(key.Value()), (std::vector<std::string>{"?", "three=3"}));

    const StartupKey fresh(list, list.Open());
    EXPECT_EQ(Enumerate(fresh.Value()), (std::vector<std::string>{"three=3", "two=2"}));
}

TEST_F(XdgStartupListTest, DeleteRemovesTheEntryFileOnlyInsideTheFolder) {
    Entry("adware", "cnbabe.exe");
    Entry("keep", "keep");
    WriteText(folder / "outside.desktop", "");
    std::filesystem::create_directory(folder / "autostart");
    XdgStartupList inner(folder / "autostart");
    WriteText(folder / "autostart/x.desktop", "");

    const StartupKey key(list, list.Open());
    EXPECT_TRUE(list.DeleteValue(key.Value(), "adware"));
    EXPECT_FALSE(std::filesystem::exists(folder / "adware.desktop"));
    EXPECT_FALSE(list.DeleteValue(key.Value(), "adware")) << "gone already";
    EXPECT_TRUE(std::filesystem::exists(folder / "keep.desktop"));

    const StartupKey innerKey(inner, inner.Open());
    EXPECT_FALSE(inner.DeleteValue(innerKey.Value(), "../outside"));
    EXPECT_FALSE(inner.DeleteValue(innerKey.Value(), ""));
    EXPECT_FALSE(inner.DeleteValue(innerKey.Value(), std::string("x\0/../../outside", 16)));
    EXPECT_TRUE(std::filesystem::exists(folder / "outside.desktop"));
    EXPECT_TRUE(std::filesystem::exists(folder / "autostart/x.desktop"));
}

TEST_F(XdgStartupListTest, KeysAreHarmlessWhenUnknownOrClosedTwice) {
    Entry("adware", "cnbabe.exe");
    EXPECT_EQ(XdgStartupList(folder / "no-such-folder").Open(), StartupKeyValue{});
    const StartupKeyValue key = list.Open();
    ASSERT_NE(key, StartupKeyValue{});
    const StartupKeyValue unknown = static_cast<StartupKeyValue>(static_cast<std::uintptr_t>(key) + 100);
    EXPECT_TRUE(Enumerate(unknown).empty());
    EXPECT_FALSE(list.DeleteValue(unknown, "adware"));
    EXPECT_TRUE(std::filesystem::exists(folder / "adware.desktop"));
    list.Close(key);
    list.Close(key);
    list.Close(unknown);
    EXPECT_EQ(list.OpenKeyCount(), 0u);
    EXPECT_TRUE(Enumerate(key).empty()) << "a closed key has no values";
    EXPECT_NE(list.Open(), key) << "a key number is not handed out twice";
}

struct ExecCase {
    const char* what;
    std::string file;
    std::string exec;
};

class DesktopEntryExecTest : public ::testing::TestWithParam<ExecCase> {};

TEST_P(DesktopEntryExecTest, ReadsTheExecKeyOfTheDesktopEntryGroup) {
    EXPECT_EQ(XdgStartupList::ExecOf(GetParam().file), GetParam().exec) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    DesktopEntryExecTest,
    ::testing::Values(
        ExecCase{"plain", "[Desktop Entry]\nExec=prog --x\n", "prog --x"},
        ExecCase{"blanks around '=' and a Windows line end", "[Desktop Entry]\r\nExec =  prog a \r\n",
                 "prog a"},
        ExecCase{"other groups do not count",
                 "[Desktop Action new]\nExec=action\n[Desktop Entry]\nExec=main\n[Other]\nExec=other\n",
                 "main"},
        ExecCase{"only in another group", "[Desktop Action x]\nExec=action\n", ""},
        ExecCase{"keys before any group do not count", "Exec=early\n[Desktop Entry]\nName=x\n", ""},
        ExecCase{"similar keys are other keys",
                 "[Desktop Entry]\nTryExec=try\nExec[de]=de\nExecX=x\nExec=real\n", "real"},
        ExecCase{"the first Exec wins", "[Desktop Entry]\nExec=first\nExec=second\n", "first"},
        ExecCase{"comments", "# Exec=commented\n[Desktop Entry]\n#Exec=no\nExec=yes", "yes"},
        ExecCase{"string escapes are undone, the command line's own quoting is kept",
                 "[Desktop Entry]\nExec=sh -c \"echo \\\\\"hi\\\\\"\"\\sC:\\\\AUTOREG.EXE\\t\\q\n",
                 "sh -c \"echo \\\"hi\\\"\" C:\\AUTOREG.EXE\t\\q"},
        ExecCase{"a lone backslash at the end", "[Desktop Entry]\nExec=x\\", "x\\"}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

}  // namespace
}  // namespace qm::posix
