#include "platform/posix/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "scratch_folder.h"

namespace qm::posix {
namespace {

using testing::ScratchFolder;

TEST(ProgramFolderTest, InstalledProgramFindsItsFilesUnderShareAndAnyOtherInItsOwnFolder) {
    const ScratchFolder scratch;
    std::filesystem::create_directories(scratch / "usr/bin");
    std::filesystem::create_directories(scratch / "usr/share/quillmere");
    EXPECT_EQ(ProgramFilesFolder(scratch / "usr/bin"), scratch / "usr/share/quillmere");

    // A bin folder without the shared folder beside it, and a build tree, keep their files with the
    // program.
    std::filesystem::create_directories(scratch / "opt/bin");
    EXPECT_EQ(ProgramFilesFolder(scratch / "opt/bin"), scratch / "opt/bin");
    std::filesystem::create_directories(scratch / "build/share/quillmere");
    EXPECT_EQ(ProgramFilesFolder(scratch / "build"), scratch / "build");
}

TEST(ProgramFolderTest, ProgramFolderIsTheFolderOfTheRunningProgram) {
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(ProgramFolder(), self.parent_path().string());
}

}  // namespace
}  // namespace qm::posix
