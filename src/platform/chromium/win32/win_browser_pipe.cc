#include "platform/chromium/win32/win_browser_pipe.h"

#include <algorithm>
#include <atomic>
#include <random>
#include <string>

#include "base/platform_error.h"

namespace qm::cr {

namespace {

// Room for the browser's largest answers without a blocked writer on either side.
constexpr DWORD kPipeBuffer = 1024 * 1024;

win::UniqueHandle ManualEvent() {
    return win::UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
}

std::wstring FreshPipeName(const wchar_t* direction) {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    return L"\\\\.\\pipe\\quillmere-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter++) + L"-" + std::to_wstring(random()) + std::to_wstring(random()) + L"-" +
           direction;
}

// One pipe: `outbound` when the program writes into it. Returns the program's end, and the browser's in
// `browserEnd`.
win::UniqueFile CreateOnePipe(bool outbound, win::UniqueFile& browserEnd) {
    const std::wstring name = FreshPipeName(outbound ? L"in" : L"out");
    // One instance, made first by this program, so that no other process can have made it before; remote
    // clients are refused.
    win::UniqueFile programEnd(
        ::CreateNamedPipeW(name.c_str(),
                           (outbound ? PIPE_ACCESS_OUTBOUND : PIPE_ACCESS_INBOUND) | FILE_FLAG_OVERLAPPED |
                               FILE_FLAG_FIRST_PIPE_INSTANCE,
                           PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                           kPipeBuffer, kPipeBuffer, 0, nullptr));
    if (!programEnd) {
        win::ThrowLastError("CreateNamedPipeW");
    }
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    browserEnd.Reset(::CreateFileW(name.c_str(), outbound ? GENERIC_READ : GENERIC_WRITE, 0, &inheritable,
                                   OPEN_EXISTING, 0, nullptr));
    if (!browserEnd) {
        win::ThrowLastError("CreateFileW (pipe)");
    }
    return programEnd;
}

// Waits for the overlapped operation `op` on `file`: its completion, `stop` (optional) or `timeoutMs`.
// Answers the bytes moved, or -1 when it failed, was stopped or timed out (the operation is then
// cancelled and its end awaited, so that `op` and the buffer may go).
std::ptrdiff_t Await(HANDLE file, OVERLAPPED& op, HANDLE stop, DWORD timeoutMs, bool& stopped) {
    const HANDLE waits[2] = {op.hEvent, stop};
    const DWORD count = stop ? 2 : 1;
    const DWORD woken = ::WaitForMultipleObjects(count, waits, FALSE, timeoutMs);
    DWORD moved = 0;
    if (woken != WAIT_OBJECT_0) {
        stopped = woken == WAIT_OBJECT_0 + 1;
        ::CancelIoEx(file, &op);
        ::GetOverlappedResult(file, &op, &moved, TRUE);
        return -1;
    }
    if (!::GetOverlappedResult(file, &op, &moved, FALSE)) {
        return -1;
    }
    return static_cast<std::ptrdiff_t>(moved);
}

}  // namespace

BrowserPipeEnds CreateBrowserPipeEnds() {
    BrowserPipeEnds ends;
    ends.programWrite = CreateOnePipe(true, ends.browserRead);
    ends.programRead = CreateOnePipe(false, ends.browserWrite);
    return ends;
}

WinBrowserPipe::WinBrowserPipe(win::UniqueFile readFromBrowser, win::UniqueFile writeToBrowser)
    : read_(std::move(readFromBrowser)),
      write_(std::move(writeToBrowser)),
      readDone_(ManualEvent()),
      writeDone_(ManualEvent()),
      stop_(ManualEvent()) {}

bool WinBrowserPipe::Valid() const {
    return read_ && write_ && readDone_ && writeDone_ && stop_;
}

std::ptrdiff_t WinBrowserPipe::Read(char* buffer, std::size_t size) {
    for (;;) {
        if (::WaitForSingleObject(stop_.Get(), 0) == WAIT_OBJECT_0) {
            return kInterrupted;
        }
        OVERLAPPED op{};
        op.hEvent = readDone_.Get();
        ::ResetEvent(op.hEvent);
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size, kPipeBuffer));
        if (!::ReadFile(read_.Get(), buffer, wanted, nullptr, &op) && ::GetLastError() != ERROR_IO_PENDING) {
            return kEnd;  // ERROR_BROKEN_PIPE: the browser has gone
        }
        bool stopped = false;
        const std::ptrdiff_t n = Await(read_.Get(), op, stop_.Get(), INFINITE, stopped);
        if (stopped) {
            return kInterrupted;
        }
        if (n < 0) {
            return kEnd;
        }
        if (n > 0) {
            return n;
        }
        // A write of no bytes completes a read with none; it is no end.
    }
}

bool WinBrowserPipe::Write(std::string_view data, int timeoutMs) {
    while (!data.empty()) {
        OVERLAPPED op{};
        op.hEvent = writeDone_.Get();
        ::ResetEvent(op.hEvent);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), kPipeBuffer));
        if (!::WriteFile(write_.Get(), data.data(), chunk, nullptr, &op) &&
            ::GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        bool stopped = false;
        const std::ptrdiff_t n =
            Await(write_.Get(), op, nullptr, static_cast<DWORD>(std::max(timeoutMs, 0)), stopped);
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void WinBrowserPipe::Interrupt() {
    if (stop_) {
        ::SetEvent(stop_.Get());
    }
}

void WinBrowserPipe::Close() {
    read_.Reset();
    write_.Reset();
}

}  // namespace qm::cr
