// Tests of the Windows adapters for the system's services and the browser's events: registry values as a
// user may have edited them, the start-up list, the version and token calls, the notification-area icon,
// the single-instance marker, and the decoding of COM's event arguments.

#include "platform/win32/win_api.h"

#include <exdispid.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/win32_check.h"
#include "platform/win32/win_browser_events.h"
#include "platform/win32/win_desktop.h"
#include "platform/win32/win_event_loop.h"
#include "platform/win32/win_guids.h"
#include "platform/win32/win_hidden_browser.h"
#include "platform/win32/win_power.h"
#include "platform/win32/win_process_services.h"
#include "platform/win32/win_registry_settings_store.h"
#include "platform/win32/win_startup_list.h"
#include "platform/win32/win_tray_icon.h"
#include "platform/win32/win_ui_probe.h"

namespace qm::win {
namespace {

constexpr wchar_t kTestRoot[] = L"Software\\Quillmere System Tests";

class TestKey {
  public:
    explicit TestKey(const std::wstring& sub = L"") : path_(std::wstring(kTestRoot) + sub) {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
        ::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                          nullptr);
    }
    ~TestKey() {
        ::RegCloseKey(key_);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
    }
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;

    const std::wstring& Path() const { return path_; }
    void Raw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ::RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size);
    }
    void Text(const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) {
        Raw(name.c_str(), type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

  private:
    std::wstring path_;
    HKEY key_ = nullptr;
};

// --- settings values edited by hand ----------------------------------------------------------------

WIN32_TEST(HandEditedSettingsReadAsDefinedTexts) {
    const TestKey key(L"\\App\\App");
    RegistrySettingsStore store(kTestRoot);
    const auto read = [&](const char* name) { return store.GetSetting("App", "App", name); };

    // Text written without its terminating NUL, or with an odd last byte, reads as far as it is whole.
    TestKey& k = const_cast<TestKey&>(key);
    k.Raw(L"NoNul", REG_SZ, L"True", 4 * sizeof(wchar_t));
    k.Raw(L"OddBytes", REG_SZ, L"False", 5 * sizeof(wchar_t) + 1);
    k.Raw(L"ZeroBytes", REG_SZ, L"", 0);
    k.Raw(L"EarlyNul", REG_SZ, L"Tr\0ue", 6 * sizeof(wchar_t));
    k.Text(L"Expand", L"%SystemRoot%");
    k.Text(L"ExpandType", L"-1", REG_EXPAND_SZ);
    const DWORD number = 1;
    k.Raw(L"Dword", REG_DWORD, &number, sizeof number);
    k.Raw(L"Binary", REG_BINARY, "True", 4);
    k.Raw(L"List", REG_MULTI_SZ, L"True\0False\0", 12 * sizeof(wchar_t));
    CHECK_EQ(read("NoNul"), "True");
    CHECK_EQ(read("OddBytes"), "False");
    CHECK_EQ(read("ZeroBytes"), "");
    CHECK_EQ(read("EarlyNul"), "Tr");
    // Environment references are not expanded: the text is what was stored.
    CHECK_EQ(read("Expand"), "%SystemRoot%");
    CHECK_EQ(read("ExpandType"), "-1");
    // Values that are not text are no settings: they read as absent.
    CHECK_EQ(read("Dword"), "");
    CHECK_EQ(read("Binary"), "");
    CHECK_EQ(read("List"), "");
    CHECK_EQ(read("Missing"), "");
    // A very long value reads whole.
    const std::wstring longText(40000, L'x');
    k.Text(L"Long", longText);
    CHECK_EQ(read("Long").size(), longText.size());
}

WIN32_TEST(RegistryDataDecodesEveryType) {
    const std::wstring text = L"C:\\Programs\\AutoReg.exe /s";
    const auto bytes = [](const std::wstring& w, std::size_t extra) {
        std::vector<std::uint8_t> b((w.size() + extra) * sizeof(wchar_t), 0);
        std::memcpy(b.data(), w.data(), w.size() * sizeof(wchar_t));
        return b;
    };
    std::vector<std::uint8_t> data = bytes(text, 1);
    CHECK_EQ(DecodeRegistryData(REG_SZ, data.data(), data.size()), Narrow(text));
    CHECK_EQ(DecodeRegistryData(REG_EXPAND_SZ, data.data(), data.size()), Narrow(text));
    data = bytes(text, 0);  // no terminating NUL
    CHECK_EQ(DecodeRegistryData(REG_SZ, data.data(), data.size()), Narrow(text));
    data.push_back(0x41);  // an odd trailing byte
    CHECK_EQ(DecodeRegistryData(REG_SZ, data.data(), data.size()), Narrow(text));
    // Lists keep their inner NULs for the caller to cut at.
    data = bytes(std::wstring(L"a.exe\0b.exe", 11), 2);
    CHECK_EQ(DecodeRegistryData(REG_MULTI_SZ, data.data(), data.size()), std::string("a.exe\0b.exe", 11));
    // Non-ASCII text arrives as UTF-8.
    data = bytes(L"C:\\Programme\\Über.exe", 1);
    CHECK_EQ(DecodeRegistryData(REG_SZ, data.data(), data.size()), "C:\\Programme\\Über.exe");
    // Other types byte for byte.
    const std::uint8_t raw[] = {'s', 'a', 'v', 'e', 0, '.', 'e'};
    CHECK_EQ(DecodeRegistryData(REG_BINARY, raw, sizeof raw), std::string("save\0.e", 7));
    CHECK_EQ(DecodeRegistryData(REG_SZ, raw, 0), "");
}

// --- the start-up list -------------------------------------------------------------------------------

WIN32_TEST(StartupListReadsEveryValueWholeAndDeletes) {
    TestKey key(L"\\Run");
    Win32StartupList list(HKEY_CURRENT_USER, key.Path());
    const std::wstring longName(300, L'n');
    const std::wstring longData = L"C:\\" + std::wstring(2000, L'd') + L"\\savenow.exe";
    key.Text(L"Short", L"a.exe");
    key.Text(longName, longData);
    key.Text(L"Ünicode", L"C:\\Über\\x.exe");
    key.Text(L"Expanding", L"%ProgramFiles%\\dw.exe", REG_EXPAND_SZ);
    key.Raw(L"Binary", REG_BINARY, "autoreg.exe", 11);

    const StartupKey open(list, list.Open());
    CHECK(static_cast<bool>(open));
    std::vector<StartupValue> values;
    for (std::uint32_t i = 0; i < 100; ++i) {
        StartupValue value;
        const StartupEnumResult result = list.EnumValue(open.Value(), i, value);
        if (result == StartupEnumResult::NoMoreValues) {
            break;
        }
        CHECK(result == StartupEnumResult::Value);
        values.push_back(value);
    }
    CHECK_EQ(values.size(), 5u);
    const auto find = [&](const std::string& name) -> std::string {
        for (const StartupValue& v : values) {
            if (v.name == name) {
                return v.data;
            }
        }
        return "(missing)";
    };
    CHECK_EQ(find("Short"), "a.exe");
    CHECK_EQ(find(Narrow(longName)), Narrow(longData));
    CHECK_EQ(find("Ünicode"), "C:\\Über\\x.exe");
    CHECK_EQ(find("Expanding"), "%ProgramFiles%\\dw.exe");
    CHECK_EQ(find("Binary"), "autoreg.exe");

    // Deleting by the name as read, long and non-ASCII ones included; a value that is gone fails.
    CHECK(list.DeleteValue(open.Value(), Narrow(longName)));
    CHECK(list.DeleteValue(open.Value(), "Ünicode"));
    CHECK(!list.DeleteValue(open.Value(), "Ünicode"));
    CHECK(!list.DeleteValue(StartupKeyValue{}, "Short"));
    StartupValue value;
    CHECK(list.EnumValue(open.Value(), 3, value) == StartupEnumResult::NoMoreValues);
    CHECK(list.EnumValue(StartupKeyValue{}, 0, value) == StartupEnumResult::NoMoreValues);
}

WIN32_TEST(StartupListEndsWhenItsKeyGoesAway) {
    TestKey key(L"\\Run");
    key.Text(L"One", L"a.exe");
    key.Text(L"Two", L"b.exe");
    Win32StartupList list(HKEY_CURRENT_USER, key.Path());
    const StartupKey open(list, list.Open());
    CHECK(static_cast<bool>(open));
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
    // However far the caller counts, the enumeration ends instead of failing value after value.
    StartupValue value;
    CHECK(list.EnumValue(open.Value(), 0, value) == StartupEnumResult::NoMoreValues);
    CHECK(list.EnumValue(open.Value(), 1, value) == StartupEnumResult::NoMoreValues);

    Win32StartupList missing(HKEY_CURRENT_USER, L"Software\\Quillmere No Such Key");
    CHECK(missing.Open() == StartupKeyValue{});
}

// --- version, token and shutdown ---------------------------------------------------------------------

WIN32_TEST(VersionAndTokenCallsAnswerAsTheSystemDoes) {
    Win32Power power;
    OsVersionInfo info;
    info.size = kVersionInfoSize;
    CHECK_EQ(power.GetVersionEx(info), 1);
    CHECK_EQ(info.platformId, kPlatformWin32Nt);
    CHECK(info.majorVersion >= 5);
    OsVersionInfo wrongSize;
    wrongSize.size = 100;
    CHECK_EQ(power.GetVersionEx(wrongSize), 0);

    const ProcessHandleValue self = power.GetCurrentProcess();
    CHECK(self != ProcessHandleValue{});
    {
        const TokenHandle token(power, power.OpenProcessToken(self, kTokenAdjustPrivileges | kTokenQuery));
        CHECK(static_cast<bool>(token));
        TokenPrivilege privilege;
        CHECK(power.LookupPrivilegeValue(kShutdownPrivilegeName, privilege.luid));
        privilege.count = 1;
        privilege.attributes = kSePrivilegeEnabled;
        CHECK(power.AdjustTokenPrivileges(token.Value(), false, privilege));
        // A count beyond the one entry the record holds is not passed on as such.
        privilege.count = 50;
        CHECK(power.AdjustTokenPrivileges(token.Value(), false, privilege));
    }
    Luid luid;
    CHECK(!power.LookupPrivilegeValue("SeNoSuchPrivilege", luid));
    CHECK(power.OpenProcessToken(ProcessHandleValue{}, kTokenQuery) == TokenHandleValue{});
    CHECK(!power.AdjustTokenPrivileges(TokenHandleValue{}, false, TokenPrivilege{}));
}

// --- desktop and process -----------------------------------------------------------------------------

WIN32_TEST(ComputerNameFillsTheBufferAsTheSystemDoes) {
    Win32Desktop desktop;
    std::string name;
    CHECK(desktop.GetComputerName(name, 255));
    CHECK_EQ(name.size(), 255u);
    const std::string cut = name.substr(0, name.find('\0'));
    wchar_t expected[MAX_COMPUTERNAME_LENGTH + 1] = L"";
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ::GetComputerNameW(expected, &size);
    CHECK_EQ(cut, Narrow(expected));
    CHECK(!cut.empty());
    // A buffer too small for the name: the call fails.
    CHECK(!desktop.GetComputerName(name, 1));
    CHECK(!desktop.GetComputerName(name, 0));
}

WIN32_TEST(StartingWhatDoesNotExistFails) {
    Win32Desktop desktop;
    CHECK(desktop.ShellExecute("", "quillmere-no-such-program.exe", "", "", 1) <= 32);
}

WIN32_TEST(OneCopyPerUserAndTheMutexStays) {
    Win32ProcessServices first([] {});
    CHECK(!first.PrevInstance());
    CHECK(!first.PrevInstance());  // its own marker does not count
    {
        Win32ProcessServices second([] {});
        CHECK(second.PrevInstance());
    }
    first.CreateMutex("Tarnwick Quillmere Test");
    const UniqueHandle found(::OpenMutexW(SYNCHRONIZE, FALSE, L"Tarnwick Quillmere Test"));
    CHECK(static_cast<bool>(found));
}

// --- the notification-area icon --------------------------------------------------------------------

WIN32_TEST(TrayIconReportsButtonPressesOnly) {
    CHECK_EQ(Win32TrayIcon::ButtonOf(WM_LBUTTONDOWN), 1);
    CHECK_EQ(Win32TrayIcon::ButtonOf(WM_RBUTTONDOWN), 2);
    CHECK_EQ(Win32TrayIcon::ButtonOf(WM_MBUTTONDOWN), 4);
    CHECK_EQ(Win32TrayIcon::ButtonOf(WM_LBUTTONDBLCLK), 1);
    CHECK_EQ(Win32TrayIcon::ButtonOf(WM_MOUSEMOVE), 0);
    CHECK_EQ(Win32TrayIcon::ButtonOf(WM_LBUTTONUP), 0);

    Win32TrayIcon tray(".");
    std::vector<int> presses;
    const auto pump = [] {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageW(&msg);
        }
    };
    const auto report = [&](UINT mouse) {
        ::PostMessageW(tray.CallbackWindow(), Win32TrayIcon::kCallbackMessage, Win32TrayIcon::kIconId, mouse);
        pump();
    };
    // The handler puts the icon up again from inside its own call, replacing itself.
    std::function<void(int, int)> handler;
    handler = [&](int button, int id) {
        presses.push_back(button);
        CHECK_EQ(id, static_cast<int>(Win32TrayIcon::kIconId));
        tray.Show("quillmere.ico", std::string(200, 't'), handler);
    };
    tray.Show("quillmere.ico", "Varrow Quillmere 4.13", handler);
    report(WM_RBUTTONDOWN);
    report(WM_MOUSEMOVE);
    report(WM_LBUTTONUP);
    report(WM_LBUTTONDOWN);
    CHECK(presses == std::vector<int>({2, 1}));
    // Taken down: no more reports.
    tray.Remove();
    report(WM_LBUTTONDOWN);
    CHECK_EQ(presses.size(), 2u);
}

// --- browser events from COM's arguments ------------------------------------------------------------

struct RecordedEvents final : BrowserEvents, HiddenBrowserEvents, ShellWindowsEvents {
    std::vector<std::string> seen;
    bool cancelSeen = false;
    bool setCancel = false;
    std::shared_ptr<HiddenBrowser> host;

    void IE_BeforeNavigate2(const std::string& url, bool& cancel) override {
        seen.push_back("BeforeNavigate2 " + url);
        cancelSeen = cancel;
        cancel = setCancel;
    }
    void IE_DownloadBegin() override { seen.push_back("DownloadBegin"); }
    void IE_NewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& cancel) override {
        seen.push_back("NewWindow2");
        cancelSeen = cancel;
        cancel = setCancel;
        ppDisp = host;
    }
    void IE_OnQuit() override { seen.push_back("OnQuit"); }
    void IE_StatusTextChange(const std::string& text) override { seen.push_back("StatusTextChange " + text); }
    void Browser_BeforeNavigate2(const std::string& url, bool& cancel) override {
        IE_BeforeNavigate2(url, cancel);
    }
    void Browser_NewWindow2(std::shared_ptr<HiddenBrowser>& ppDisp, bool& cancel) override {
        IE_NewWindow2(ppDisp, cancel);
    }
    void SWs_WindowRegistered(std::int32_t cookie) override {
        seen.push_back("Registered " + std::to_string(cookie));
    }
    void SWs_WindowRevoked(std::int32_t cookie) override {
        seen.push_back("Revoked " + std::to_string(cookie));
    }
};

// The arguments of one event, given first to last as the event declares them; COM passes them last first.
class EventArguments {
  public:
    explicit EventArguments(std::vector<VARIANT> inOrder) : args_(inOrder.rbegin(), inOrder.rend()) {
        params_.rgvarg = args_.data();
        params_.cArgs = static_cast<UINT>(args_.size());
    }
    DISPPARAMS& Params() { return params_; }

  private:
    std::vector<VARIANT> args_;
    DISPPARAMS params_{};
};

VARIANT Empty() {
    VARIANT v;
    ::VariantInit(&v);
    return v;
}
VARIANT RefTo(VARIANT* target) {
    VARIANT v = Empty();
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = target;
    return v;
}
VARIANT BoolRef(VARIANT_BOOL* slot) {
    VARIANT v = Empty();
    V_VT(&v) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&v) = slot;
    return v;
}
VARIANT Text(BSTR text) {
    VARIANT v = Empty();
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text;
    return v;
}

WIN32_TEST(BeforeNavigate2ArgumentsDecodeLastFirst) {
    const Bstr url(L"http://ads.example.com/pop.html");
    const Bstr frame(L"_blank");
    VARIANT urlValue = Text(url.Get());
    VARIANT frameValue = Text(frame.Get());
    VARIANT none = Empty();
    VARIANT_BOOL cancel = VARIANT_FALSE;
    EventArguments args({Empty(), RefTo(&urlValue), RefTo(&none), RefTo(&frameValue), RefTo(&none),
                         RefTo(&none), BoolRef(&cancel)});
    RecordedEvents events;
    events.setCancel = true;
    DispatchBrowserEvent(events, DISPID_BEFORENAVIGATE2, args.Params());
    CHECK(events.seen == std::vector<std::string>({"BeforeNavigate2 http://ads.example.com/pop.html"}));
    CHECK(!events.cancelSeen);
    CHECK_EQ(cancel, VARIANT_TRUE);

    // The same for a hidden browser; an unchanged Cancel is written back as it came.
    cancel = VARIANT_TRUE;
    events.setCancel = true;
    DispatchHiddenBrowserEvent(events, DISPID_BEFORENAVIGATE2, args.Params());
    CHECK(events.cancelSeen);
    CHECK_EQ(cancel, VARIANT_TRUE);

    // Too few arguments, or arguments of other types: an empty address, nothing written, no crash.
    VARIANT number = Empty();
    V_VT(&number) = VT_I4;
    EventArguments wrong({Empty(), number});
    RecordedEvents other;
    DispatchBrowserEvent(other, DISPID_BEFORENAVIGATE2, wrong.Params());
    EventArguments none0({});
    DispatchBrowserEvent(other, DISPID_BEFORENAVIGATE2, none0.Params());
    CHECK(other.seen == std::vector<std::string>({"BeforeNavigate2 ", "BeforeNavigate2 "}));
}

// A dispatch object that counts its references.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class CountedDispatch final : public IDispatch {
  public:
    ULONG refs = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE
    Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};
#pragma GCC diagnostic pop

class ForeignHiddenBrowser final : public HiddenBrowser {
  public:
    std::unique_ptr<EventConnection> Connect(std::weak_ptr<HiddenBrowserEvents>) override { return nullptr; }
};

WIN32_TEST(NewWindow2HandsTheHostBackThroughPpDisp) {
    CountedDispatch offered;
    IDispatch* slot = &offered;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT ppDisp = Empty();
    V_VT(&ppDisp) = VT_BYREF | VT_DISPATCH;
    V_DISPATCHREF(&ppDisp) = &slot;
    EventArguments args({ppDisp, BoolRef(&cancel)});

    // No host: the browser's own offer stays, Cancel as the handler set it.
    RecordedEvents events;
    events.setCancel = true;
    DispatchBrowserEvent(events, DISPID_NEWWINDOW2, args.Params());
    CHECK(slot == &offered);
    CHECK_EQ(offered.refs, 1u);
    CHECK_EQ(cancel, VARIANT_TRUE);

    // A host that is no browser control of this platform: nothing to hand over.
    events.setCancel = false;
    events.host = std::make_shared<ForeignHiddenBrowser>();
    DispatchBrowserEvent(events, DISPID_NEWWINDOW2, args.Params());
    CHECK(slot == &offered);
    CHECK_EQ(cancel, VARIANT_FALSE);

    // A hosted WebBrowser control: its automation object takes the offer's place with a reference of its
    // own, and the offer is let go.
    std::shared_ptr<Win32HiddenBrowser> hidden;
    try {
        hidden = Win32HiddenBrowser::Create();
    } catch (const std::exception& e) {
        std::printf("  (no WebBrowser control here: %s; the hand-over itself is not checked)\n", e.what());
    }
    if (hidden) {
        events.host = hidden;
        DispatchHiddenBrowserEvent(events, DISPID_NEWWINDOW2, args.Params());
        CHECK(slot == hidden->Automation());
        CHECK_EQ(offered.refs, 0u);
        if (slot == hidden->Automation()) {
            slot->Release();
        }
    }
}

WIN32_TEST(HiddenBrowserReportsItsNavigationsAndCancelsThem) {
    std::shared_ptr<Win32HiddenBrowser> hidden;
    try {
        hidden = Win32HiddenBrowser::Create();
    } catch (const std::exception& e) {
        std::printf("  (no WebBrowser control here: %s)\n", e.what());
        CHECK(!"a WebBrowser control can be hosted");
        return;
    }
    auto events = std::make_shared<RecordedEvents>();
    events->setCancel = true;
    const auto connection = hidden->Connect(events);
    ComPtr<IWebBrowser2> browser =
        ComPtr<IDispatch>::Share(hidden->Automation()).As<IWebBrowser2>(kIidIWebBrowser2);
    CHECK(static_cast<bool>(browser));
    if (!browser) {
        return;
    }
    const Bstr url(L"http://popup.example.com/ad.html");
    VARIANT none = Empty();
    CHECK(SUCCEEDED(browser->Navigate(url.Get(), &none, &none, &none, &none)));
    const DWORD start = ::GetTickCount();
    MSG msg;
    while (events->seen.empty() && ::GetTickCount() - start < 5000) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    CHECK(events->seen == std::vector<std::string>({"BeforeNavigate2 http://popup.example.com/ad.html"}));
    // Cancelled: the control stays where it was.
    Bstr location;
    browser->get_LocationURL(location.Put());
    CHECK(location.Text() != L"http://popup.example.com/ad.html");
}

// --- the user-input component ------------------------------------------------------------------------

struct InputTicks final : UiProbeEvents {
    std::vector<std::int32_t> ticks;
    void UiProbe_UserInput(std::int32_t& tickCount) override { ticks.push_back(tickCount); }
};

WIN32_TEST(InputProbeReportsClicksOnTheWatchedThreadOnly) {
    Win32EventLoop loop;
    const UniqueWindow window(::CreateWindowExW(WS_EX_TOPMOST, L"BUTTON", L"", WS_POPUP | WS_VISIBLE, 300,
                                                300, 100, 100, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                                nullptr));
    loop.DoEvents();
    Win32UiProbe probe(loop);
    auto sink = std::make_shared<InputTicks>();
    const auto connection = probe.Connect(sink);
    const auto click = [&] {
        ::SetCursorPos(350, 350);
        INPUT inputs[2]{};
        inputs[0].type = INPUT_MOUSE;
        inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        inputs[1].type = INPUT_MOUSE;
        inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        ::SendInput(2, inputs, sizeof(INPUT));
        const DWORD start = ::GetTickCount();
        while (::GetTickCount() - start < 300) {
            loop.DoEvents();
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    };
    // Another thread watched: nothing is reported.
    std::int32_t otherThread = static_cast<std::int32_t>(::GetCurrentThreadId()) + 1;
    probe.StartWatch(otherThread);
    click();
    CHECK(sink->ticks.empty());
    // This thread watched: one report per press (the release is no input of its own), on the tick clock.
    std::int32_t thisThread = static_cast<std::int32_t>(::GetCurrentThreadId());
    const Tick before = loop.GetTickCount();
    probe.StartWatch(thisThread);
    click();
    CHECK_EQ(sink->ticks.size(), 1u);
    if (!sink->ticks.empty()) {
        CHECK(TickDiff(sink->ticks.front(), before) >= 0);
        CHECK(TickDiff(loop.GetTickCount(), sink->ticks.front()) >= 0);
    }
    // Stopped: nothing more.
    probe.StopWatch();
    click();
    CHECK_EQ(sink->ticks.size(), 1u);
}

WIN32_TEST(SimpleEventsAndTheWindowListDecode) {
    RecordedEvents events;
    const Bstr status(L"Done");
    EventArguments text({Text(status.Get())});
    DispatchBrowserEvent(events, DISPID_STATUSTEXTCHANGE, text.Params());
    EventArguments none({});
    DispatchBrowserEvent(events, DISPID_DOWNLOADBEGIN, none.Params());
    DispatchBrowserEvent(events, DISPID_ONQUIT, none.Params());
    DispatchBrowserEvent(events, DISPID_TITLECHANGE, text.Params());  // not one the program follows

    VARIANT cookie = Empty();
    V_VT(&cookie) = VT_I4;
    V_I4(&cookie) = 42;
    EventArguments registered({cookie});
    DispatchShellWindowsEvent(events, DISPID_WINDOWREGISTERED, registered.Params());
    DispatchShellWindowsEvent(events, DISPID_WINDOWREVOKED, registered.Params());
    // A cookie of another type counts as 0.
    EventArguments textCookie({Text(status.Get())});
    DispatchShellWindowsEvent(events, DISPID_WINDOWREGISTERED, textCookie.Params());
    CHECK(events.seen == std::vector<std::string>({"StatusTextChange Done", "DownloadBegin", "OnQuit",
                                                   "Registered 42", "Revoked 42", "Registered 0"}));
}

}  // namespace
}  // namespace qm::win
