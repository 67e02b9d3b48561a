#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace qm::cr {

// Cuts the browser's byte stream into messages: each message ends with a NUL byte. A message larger than
// the limit is dropped whole (up to its NUL) instead of growing the buffer without bound; the stream
// stays usable after it.
class MessageFramer {
  public:
    static constexpr std::size_t kDefaultLimit = 256u * 1024u * 1024u;

    explicit MessageFramer(std::size_t limit = kDefaultLimit) : limit_(limit) {}

    // Feeds bytes; `onMessage` gets every message completed by them, without its NUL.
    void Feed(std::string_view bytes, const std::function<void(std::string_view)>& onMessage);

    // Bytes of a message not yet complete.
    std::size_t Buffered() const { return buffer_.size(); }
    // Messages dropped for being too large.
    std::size_t Dropped() const { return dropped_; }

  private:
    std::size_t limit_;
    std::string buffer_;
    bool skipping_ = false;
    std::size_t dropped_ = 0;
};

}  // namespace qm::cr
