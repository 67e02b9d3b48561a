// The settings file as a person may have edited or a crash may have cut it: any bytes. Whatever the file
// holds, reading gives an answer, a write keeps every value that was read, sets the one written, and
// leaves a file that the next write does not change again.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform_error.h"
#include "fuzz_check.h"
#include "platform/posix/settings_file_store.h"

namespace {

// A scratch folder of its own, removed when the run ends.
const std::string& Folder() {
    static const std::string* const folder = [] {
        // Memory-backed where there is such a folder: every write is flushed to the disk.
        std::error_code error;
        const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string pattern = (base / "qm-fuzz-settings-XXXXXX").string();
        auto* made = new std::string(::mkdtemp(pattern.data()));
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Folder(), ignored);
        });
        return made;
    }();
    return *folder;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = Folder() + "/settings.ini";
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(Folder(), ignored)) {
        std::filesystem::remove(entry.path(), ignored);
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    qm::posix::SettingsFileStore store(path);

    // The names the program uses, and the ones this file itself seems to use.
    std::vector<std::vector<std::string>> names = {
        {"Varrow Quillmere 4.13", "Varrow Quillmere 4.13", "Ready"}, {"A", "S", "Key"}};
    const std::size_t firstEquals = text.find('=');
    if (firstEquals != std::string::npos) {
        const std::size_t lineStart = text.rfind('\n', firstEquals);
        names.push_back({"A", "S",
                         text.substr(lineStart == std::string::npos ? 0 : lineStart + 1,
                                     firstEquals - (lineStart == std::string::npos ? 0 : lineStart + 1))});
    }
    std::vector<std::string> before;
    for (const auto& n : names) {
        before.push_back(store.GetSetting(n[0], n[1], n[2]));
    }

    try {
        store.SaveSetting("A", "S", "Written", "value \\ with = [odd] bytes\n\t");
    } catch (const qm::PlatformError&) {
        return 0;  // a file the store refuses to replace stays as it was
    }
    FUZZ_CHECK(store.GetSetting("A", "S", "Written") == "value \\ with = [odd] bytes\n\t");
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i][2] != "Written" && !names[i][2].empty()) {
            FUZZ_CHECK(store.GetSetting(names[i][0], names[i][1], names[i][2]) == before[i]);
        }
    }
    // The rewritten file is in its final form.
    const std::string rewritten = ReadAll(path);
    store.SaveSetting("A", "S", "Written", "value \\ with = [odd] bytes\n\t");
    FUZZ_CHECK(ReadAll(path) == rewritten);
    return 0;
}
