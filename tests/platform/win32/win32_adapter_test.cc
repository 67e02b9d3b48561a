// Tests of the Windows adapters against the real system (run under Wine by wine_smoke.sh):
//   qm_win32_tests                  every test; exit code 0 when all pass
//   qm_win32_tests COMMAND ...      the smoke test's probes (wine_probe.cc)

#include "platform/win32/win_api.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/platform_error.h"
#include "forms/form.h"
#include "forms/region.h"
#include "monitor/ie_close_delay.h"
#include "platform/win32/win32_check.h"
#include "platform/win32/win_page.h"
#include "platform/win32/win_platform.h"
#include "platform/win32/wine_probe.h"
#include "shell/win_system.h"

namespace qm::win {
namespace {

// A key of its own below HKCU, removed before and after each use.
constexpr wchar_t kTestRoot[] = L"Software\\Quillmere Adapter Tests";

void RemoveTestRoot() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
}

std::string TempPath(const char* name) {
    wchar_t folder[MAX_PATH] = L"";
    ::GetTempPathW(MAX_PATH, folder);
    return Narrow(folder) + name;
}

WIN32_TEST(TextConversionRoundTrips) {
    const std::vector<std::string> texts = {"", "Varrow Quillmere 4.13", "米瑞尔之IE助手", "a\tb\nc",
                                            "€ and 𝄞"};
    for (const std::string& text : texts) {
        CHECK_EQ(Narrow(Widen(text)), text);
    }
    CHECK_EQ(Widen("米瑞尔").size(), 3u);
    CHECK_EQ(Widen("𝄞").size(), 2u);  // a surrogate pair
}

WIN32_TEST(SettingsStoreReadsWhatItWrote) {
    RemoveTestRoot();
    RegistrySettingsStore store(kTestRoot);
    // Nothing there yet: the application, the section and the value are all absent.
    CHECK_EQ(store.GetSetting("App", "Section", "Key"), "");
    struct Case {
        const char* app;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"Varrow Quillmere 4.13", "RecogEnable", "True"},
        {"米瑞尔之IE助手", "KillMsg", "False"},
        {"App", "Empty", ""},
        {"App", "Long", "a value of some length that is longer than the first guess of any buffer"},
    };
    for (const Case& c : cases) {
        store.SaveSetting(c.app, c.app, c.key, c.value);
        CHECK_EQ(store.GetSetting(c.app, c.app, c.key), c.value);
    }
    // A shorter value replaces a longer one entirely.
    store.SaveSetting("App", "App", "Long", "x");
    CHECK_EQ(store.GetSetting("App", "App", "Long"), "x");
    // The value is a REG_SZ under <root>\<app>\<section>, as other programs of this kind expect.
    HKEY key = nullptr;
    CHECK(::RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(kTestRoot) + L"\\App\\App").c_str(), 0, KEY_READ,
                          &key) == ERROR_SUCCESS);
    DWORD type = 0;
    CHECK(::RegQueryValueExW(key, L"Long", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS);
    CHECK_EQ(type, static_cast<DWORD>(REG_SZ));
    // A value of another type is no setting.
    const DWORD number = 5;
    ::RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    ::RegCloseKey(key);
    CHECK_EQ(store.GetSetting("App", "App", "Number"), "");
    RemoveTestRoot();
}

WIN32_TEST(FileErrorsMapToTheRuntimeNumbers) {
    struct Case {
        DWORD win32;
        std::int32_t number;
    };
    const Case cases[] = {
        {ERROR_FILE_NOT_FOUND, kErrFileNotFound},    {ERROR_PATH_NOT_FOUND, kErrFileNotFound},
        {ERROR_ACCESS_DENIED, kErrPermissionDenied}, {ERROR_SHARING_VIOLATION, kErrPermissionDenied},
        {ERROR_DISK_FULL, kErrPathFileAccess},       {ERROR_HANDLE_EOF, kErrPathFileAccess},
    };
    for (const Case& c : cases) {
        CHECK_EQ(FileErrorFor(c.win32).number, c.number);
    }
}

WIN32_TEST(FilesAreWrittenAndReadWhole) {
    Win32FileSystem files;
    const std::string path = TempPath("quillmere-adapter-test.bin");
    const std::vector<std::uint8_t> longer(100000, 0xAB);
    const std::vector<std::uint8_t> shorter = {1, 2, 3};
    files.WriteWholeFile(path, longer);
    CHECK(files.ReadWholeFile(path) == longer);
    // Nothing of the older, longer contents remains.
    files.WriteWholeFile(path, shorter);
    CHECK(files.ReadWholeFile(path) == shorter);
    files.WriteWholeFile(path, {});
    CHECK(files.ReadWholeFile(path).empty());
    ::DeleteFileW(Widen(path).c_str());

    std::int32_t number = 0;
    try {
        files.ReadWholeFile(TempPath("no-such-file.wr"));
    } catch (const PlatformError& e) {
        number = e.Number();
    }
    CHECK_EQ(number, kErrFileNotFound);
    // A file that another program holds open for writing cannot be read.
    const std::string held = TempPath("quillmere-held.bin");
    files.WriteWholeFile(held, shorter);
    const HANDLE writer =
        ::CreateFileW(Widen(held).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
    number = 0;
    try {
        files.ReadWholeFile(held);
    } catch (const PlatformError& e) {
        number = e.Number();
    }
    CHECK_EQ(number, kErrPermissionDenied);
    ::CloseHandle(writer);
    ::DeleteFileW(Widen(held).c_str());
}

// Runs the loop until `done` or `limitMs` has passed.
template <typename F>
void PumpUntil(Win32EventLoop& loop, F done, int limitMs) {
    const DWORD start = ::GetTickCount();
    while (!done() && static_cast<int>(::GetTickCount() - start) < limitMs) {
        loop.DoEvents();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

WIN32_TEST(TimersTickStopAndDieInsideTheirOwnTick) {
    Win32EventLoop loop;
    int ticks = 0;
    std::unique_ptr<PlatformTimer> timer;
    timer = loop.CreateTimer([&] {
        if (++ticks == 3) {
            timer->Stop();
        }
    });
    timer->Start(10);
    PumpUntil(
        loop, [&] { return false; }, 300);
    CHECK_EQ(ticks, 3);

    // Destroyed from inside its own tick.
    int lastTicks = 0;
    std::unique_ptr<PlatformTimer> selfDestroying;
    selfDestroying = loop.CreateTimer([&] {
        ++lastTicks;
        selfDestroying.reset();
    });
    selfDestroying->Start(10);
    PumpUntil(
        loop, [&] { return false; }, 200);
    CHECK_EQ(lastTicks, 1);

    // A timer that fell due many times during a Sleep ticks once afterwards.
    int coalesced = 0;
    auto slow = loop.CreateTimer([&] { ++coalesced; });
    slow->Start(10);
    loop.Sleep(200);
    loop.DoEvents();
    CHECK_EQ(coalesced, 1);
    slow->Stop();
    // A stopped timer does not tick again, even with a tick already due.
    loop.Sleep(50);
    slow->Stop();
    loop.DoEvents();
    CHECK_EQ(coalesced, 1);
}

WIN32_TEST(TickCountFollowsTheSystemClock) {
    Win32EventLoop loop;
    const Tick before = loop.GetTickCount();
    loop.Sleep(50);
    const Tick after = loop.GetTickCount();
    CHECK(TickDiff(after, before) >= 40);
}

WIN32_TEST(VariantsCrossCom) {
    const std::vector<Variant> values = {
        Variant(),    Variant(true),   Variant(false), Variant(std::int32_t{42}),
        Variant(2.5), Variant("100%"), Variant("米")};
    for (const Variant& value : values) {
        VARIANT v = ToVariant(value);
        CHECK(FromVariant(v) == value);
        ::VariantClear(&v);
    }
    VARIANT small;
    ::VariantInit(&small);
    V_VT(&small) = VT_I2;
    V_I2(&small) = -7;
    CHECK(FromVariant(small) == Variant(std::int32_t{-7}));
}

WIN32_TEST(InstanceMarkerIsSessionLocal) {
    const std::wstring name = InstanceMarkerName();
    CHECK(name.rfind(L"Local\\", 0) == 0);
    // Only the namespace prefix may hold a backslash.
    CHECK(name.find(L'\\', 6) == std::wstring::npos);
}

// A window of the program, for the window adapter's tests.
class ProbeForm final : public Form {
  public:
    ProbeForm(EventLoop& loop, Renderer& renderer)
        : Form(loop, &renderer),
          button(*this, "buttonOK", ControlKind::CommandButton),
          label(*this, "labelText", ControlKind::Label) {
        SetDesign(ScaleUnit::Pixels, BorderStyle::None, 200 * 15, 100 * 15);
        Move(100 * 15, 100 * 15);
        button.Move(10, 10, 80, 25);
        label.Move(10, 50, 150, 20);
        label.SetCaption("label");
        button.SetCaption("OK");
    }
    Control button;
    Control label;
};

WIN32_TEST(WindowsFindTheirControlsAndRespectTheirRegion) {
    Win32EventLoop loop;
    Win32Renderer renderer(loop, ".");
    auto form = std::make_shared<ProbeForm>(loop, renderer);
    form->Show(ShowStyle::TopmostNoActivate);
    loop.DoEvents();
    const int tpp = renderer.TwipsPerPixel();
    const auto screen = [&](int x, int y) {
        return ScreenPoint{static_cast<std::int32_t>(form->Left() / tpp) + x,
                           static_cast<std::int32_t>(form->Top() / tpp) + y};
    };
    WindowAtPoint onButton = renderer.WindowFromPoint(screen(20, 20));
    CHECK(onButton.form == form.get());
    CHECK(onButton.control == &form->button);
    WindowAtPoint onLabel = renderer.WindowFromPoint(screen(20, 55));
    CHECK(onLabel.form == form.get());
    CHECK(onLabel.control == nullptr);  // labels draw into their window

    // Cut away everything but the top-left 100 x 40 pixels: the label's place is no longer the window's.
    form->SetShape(Region::FromRect(0, 0, 100, 40));
    loop.DoEvents();
    CHECK(renderer.WindowFromPoint(screen(20, 20)).form == form.get());
    CHECK(renderer.WindowFromPoint(screen(20, 55)).form == nullptr);
    form->SetShape(std::nullopt);
    loop.DoEvents();
    CHECK(renderer.WindowFromPoint(screen(20, 55)).form == form.get());

    // A hidden or unloaded window is found nowhere.
    form->Hide();
    loop.DoEvents();
    CHECK(renderer.WindowFromPoint(screen(20, 20)).form == nullptr);
    form->Unload();
    loop.DoEvents();
    CHECK(renderer.WindowFromPoint(screen(20, 20)).form == nullptr);
}

WIN32_TEST(ClicksReachTheWindowAndMayUnloadIt) {
    Win32EventLoop loop;
    Win32Renderer renderer(loop, ".");
    auto form = std::make_shared<ProbeForm>(loop, renderer);
    int clicks = 0;
    form->button.Click = [&] {
        ++clicks;
        form->Unload();  // the window goes away inside its own button's click
    };
    form->button.SetDefault(true);
    form->Show(ShowStyle::Normal);
    loop.DoEvents();
    HWND button = ::GetWindow(::FindWindowW(L"QuillmereForm", nullptr), GW_CHILD);
    CHECK(button != nullptr);
    ::SendMessageW(button, BM_CLICK, 0, 0);
    loop.DoEvents();
    CHECK_EQ(clicks, 1);
    CHECK(!form->Loaded());
}

WIN32_TEST(TextHeightGrowsAsTheLineNarrows) {
    Win32EventLoop loop;
    Win32Renderer renderer(loop, ".");
    const FontSpec font;
    const std::string text = "Open this window now, or let it close by itself in ten seconds";
    const std::int32_t oneLine = renderer.TextHeight("x", font, 400);
    CHECK(oneLine > 0);
    CHECK_EQ(renderer.TextHeight("", font, 400), oneLine);
    CHECK_EQ(renderer.TextHeight(text, font, 2000), oneLine);
    CHECK(renderer.TextHeight(text, font, 100) > oneLine * 2);
}

int RunAll() {
    // The thread is set up as the program's is: COM in a single-threaded apartment, with OLE.
    const OleScope ole;
    int failedTests = 0;
    for (const auto& test : check::Registry()) {
        const int before = check::Failures();
        try {
            test.body();
        } catch (const std::exception& e) {
            check::Fail(__FILE__, __LINE__, std::string("exception: ") + e.what());
        }
        const bool passed = check::Failures() == before;
        failedTests += passed ? 0 : 1;
        std::printf("[%s] %s\n", passed ? "  OK  " : "FAILED", test.name);
    }
    std::printf("%zu tests, %d failed\n", check::Registry().size(), failedTests);
    std::fflush(stdout);
    return failedTests == 0 ? 0 : 1;
}

}  // namespace
}  // namespace qm::win

int wmain(int argc, wchar_t** argv) {
    const int probe = qm::win::RunProbe(argc, argv);
    return probe >= 0 ? probe : qm::win::RunAll();
}
