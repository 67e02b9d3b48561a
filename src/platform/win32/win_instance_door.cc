#include "platform/win32/win_instance_door.h"

#include <memory>

#include "base/callback_boundary.h"
#include "platform/win32/win_process_services.h"

namespace qm::win {

namespace {

constexpr wchar_t kDoorClass[] = L"QuillmereInstanceDoor";
// The kind of WM_COPYDATA message this door takes; others are no requests.
constexpr ULONG_PTR kRequestKind = 0x514D5251;  // "QMRQ"
// Posted to the door itself: the request waiting in the message's lParam is run.
constexpr UINT kRunRequest = WM_APP + 2;
constexpr UINT kHandTimeoutMs = 5000;

bool AcceptableRequest(const std::string& text) {
    return text.size() <= InstanceDoor::kMaxRequestBytes &&
           text.find_first_of(std::string("\0\r\n", 3)) == std::string::npos;
}

}  // namespace

InstanceDoor::InstanceDoor(std::function<void(std::string)> onRequest) : onRequest_(std::move(onRequest)) {
    RegisterHiddenWindowClass(kDoorClass, &InstanceDoor::WndProc);
    window_.Reset(::CreateWindowExW(0, kDoorClass, InstanceMarkerName().c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, ::GetModuleHandleW(nullptr), nullptr));
    if (!window_) {
        ThrowLastError("CreateWindowExW (instance door)");
    }
    ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

InstanceDoor::~InstanceDoor() {
    ::SetWindowLongPtrW(window_.Get(), GWLP_USERDATA, 0);
    // Requests still posted are let go with the window's queue: their texts are freed here.
    MSG msg;
    while (::PeekMessageW(&msg, window_.Get(), kRunRequest, kRunRequest, PM_REMOVE)) {
        delete reinterpret_cast<std::string*>(msg.lParam);
    }
}

LRESULT CALLBACK InstanceDoor::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<InstanceDoor*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        if (!self || !data || data->dwData != kRequestKind || data->cbData > kMaxRequestBytes ||
            (data->cbData > 0 && !data->lpData)) {
            return FALSE;
        }
        auto request = std::make_unique<std::string>(static_cast<const char*>(data->lpData), data->cbData);
        if (!AcceptableRequest(*request)) {
            return FALSE;
        }
        // The sender waits for this answer: the request itself runs later, from the loop.
        if (!::PostMessageW(hwnd, kRunRequest, 0, reinterpret_cast<LPARAM>(request.get()))) {
            return FALSE;
        }
        request.release();
        return TRUE;
    }
    if (msg == kRunRequest) {
        const std::unique_ptr<std::string> request(reinterpret_cast<std::string*>(lp));
        if (self && self->onRequest_) {
            RunHandler("request of a later start", [&] { self->onRequest_(std::move(*request)); });
        }
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

bool InstanceDoor::Hand(const std::string& address, std::string& why) {
    if (!AcceptableRequest(address)) {
        why = "the address cannot be handed on (too long, or with a line break)";
        return false;
    }
    const HWND door = ::FindWindowExW(HWND_MESSAGE, nullptr, kDoorClass, InstanceMarkerName().c_str());
    if (!door) {
        why = "it takes no requests (it watches Internet Explorer, or is still starting)";
        return false;
    }
    COPYDATASTRUCT data{};
    data.dwData = kRequestKind;
    data.cbData = static_cast<DWORD>(address.size());
    data.lpData = const_cast<char*>(address.data());
    DWORD_PTR answer = FALSE;
    if (!::SendMessageTimeoutW(door, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, kHandTimeoutMs, &answer) ||
        answer != TRUE) {
        why = "it did not take the request";
        return false;
    }
    return true;
}

}  // namespace qm::win
