#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace qm {

// The one error type of the program. Every failing call into the browser, the page or the operating
// system throws it, and components that raise errors to their callers (the window shaper) fill in the
// number, source and description that the program defines for them. Handlers that end quietly at the
// first failing call catch exactly this type at their own boundary.
class PlatformError : public std::exception {
  public:
    explicit PlatformError(std::string description, std::int32_t number = 0, std::string source = {})
        : number_(number), source_(std::move(source)), description_(std::move(description)) {}

    std::int32_t Number() const { return number_; }
    const std::string& Source() const { return source_; }
    const std::string& Description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

  private:
    std::int32_t number_;
    std::string source_;
    std::string description_;
};

// Numbers of PlatformError that several platforms give for the same failure, as COM numbers them.
inline constexpr std::int32_t kErrorDisconnected = -2147417848;  // RPC_E_DISCONNECTED: the object has gone
inline constexpr std::int32_t kErrorTimeout = -2147023436;  // ERROR_TIMEOUT as an HRESULT: no answer in time
// The text the platforms give with kErrorDisconnected for an object that has gone.
inline constexpr char kDisconnectedText[] = "The object invoked has disconnected from its clients.";

}  // namespace qm
