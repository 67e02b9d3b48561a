#pragma once

#include <functional>
#include <string>

#include "platform/win32/win_api.h"
#include "platform/win32/win_handles.h"

namespace qm::win {

// How a later start of the program hands its request (an address, or an empty one for a new window) to
// the user's first copy: the first copy keeps a message-only window named after the user's instance
// marker, and a later copy sends it each request as WM_COPYDATA. Requests are taken as they come: at
// most kMaxRequestBytes of UTF-8 without NUL or line breaks; anything else is dropped.
class InstanceDoor {
  public:
    static constexpr std::size_t kMaxRequestBytes = 64 * 1024;

    // Opens the door: `onRequest` runs on this (the user-interface) thread, from the message loop, for
    // each request, after the sender has been answered. It must not throw past the boundary (it is run
    // at the callback boundary). Throws PlatformError when the window cannot be made.
    explicit InstanceDoor(std::function<void(std::string address)> onRequest);
    ~InstanceDoor();
    InstanceDoor(const InstanceDoor&) = delete;
    InstanceDoor& operator=(const InstanceDoor&) = delete;

    // A later copy's side: hands `address` to the first copy. False, with the reason in `why`, when no
    // first copy has its door open or it did not take the request within a few seconds.
    static bool Hand(const std::string& address, std::string& why);

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    std::function<void(std::string)> onRequest_;
    UniqueWindow window_;
};

}  // namespace qm::win
