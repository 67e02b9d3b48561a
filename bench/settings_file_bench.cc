// How much the settings file costs. The program keeps no option in memory: every popup decision and
// every ad pass reads its options from the store, so a read must stay well under a millisecond. Writes
// are rare (the settings window's OK, start-up's refresh); a write that changes nothing must not touch
// the disk, and a real one pays for flushing the file and its folder.
//
// The file lives under the temporary folder ($TMPDIR to choose the disk).

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/posix/settings_file_store.h"

namespace {

constexpr char kTitle[] = "Varrow Quillmere 4.13";
constexpr const char* kOptions[] = {"Ready",      "WindowFixed", "RecogEnable", "PopupNotify", "KillMsg",
                                    "KillBanner", "KillFlash",   "KillIFrame",  "KillFloat",   "AgentShow"};

// A settings file as the program leaves it, with the Chinese title's options beside the English ones.
class BenchFile {
  public:
    BenchFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qm-bench-XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
        store_ = std::make_unique<qm::posix::SettingsFileStore>(folder_ + "/quillmere/settings.ini");
        for (const char* app :
             {kTitle, "\xE7\xB1\xB3\xE7\x91\x9E\xE5\xB0\x94\xE4\xB9\x8BIE\xE5\x8A\xA9\xE6\x89\x8B"}) {
            for (const char* option : kOptions) {
                store_->SaveSetting(app, app, option, "True");
            }
        }
    }
    ~BenchFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    qm::posix::SettingsFileStore& Store() { return *store_; }

  private:
    std::string folder_;
    std::unique_ptr<qm::posix::SettingsFileStore> store_;
};

// One option read, as a popup decision reads it.
void BM_SettingsFileRead(benchmark::State& state) {
    BenchFile file;
    for (auto _ : state) {
        benchmark::DoNotOptimize(file.Store().GetSetting(kTitle, kTitle, "KillFloat"));
    }
}
BENCHMARK(BM_SettingsFileRead);

// A read when the user has no settings file yet.
void BM_SettingsFileReadMissing(benchmark::State& state) {
    qm::posix::SettingsFileStore store("/nonexistent-quillmere/settings.ini");
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.GetSetting(kTitle, kTitle, "KillFloat"));
    }
}
BENCHMARK(BM_SettingsFileReadMissing);

// Start-up's refresh of an unchanged store: every option read and written back as it was.
void BM_SettingsFileRefreshUnchanged(benchmark::State& state) {
    BenchFile file;
    for (auto _ : state) {
        for (const char* option : kOptions) {
            const std::string value = file.Store().GetSetting(kTitle, kTitle, option);
            file.Store().SaveSetting(kTitle, kTitle, option, value);
        }
    }
}
BENCHMARK(BM_SettingsFileRefreshUnchanged)->Unit(benchmark::kMicrosecond);

// One changed option: temporary file, flush, rename, flush of the folder.
void BM_SettingsFileWriteChanged(benchmark::State& state) {
    BenchFile file;
    bool on = false;
    for (auto _ : state) {
        on = !on;
        file.Store().SaveSetting(kTitle, kTitle, "KillBanner", on ? "True" : "False");
    }
}
BENCHMARK(BM_SettingsFileWriteChanged)->Unit(benchmark::kMillisecond);

}  // namespace
