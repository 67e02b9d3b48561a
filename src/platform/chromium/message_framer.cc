#include "platform/chromium/message_framer.h"

namespace qm::cr {

void MessageFramer::Feed(std::string_view bytes, const std::function<void(std::string_view)>& onMessage) {
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\0');
        const std::string_view part = bytes.substr(0, end);
        if (skipping_) {
            // The rest of an oversized message: thrown away up to its end.
        } else if (buffer_.size() + part.size() > limit_) {
            buffer_.clear();
            buffer_.shrink_to_fit();
            skipping_ = true;
            ++dropped_;
        } else if (end != std::string_view::npos && buffer_.empty()) {
            onMessage(part);  // the common case: a whole message inside one read
        } else {
            buffer_.append(part);
            if (end != std::string_view::npos) {
                const std::string message = std::move(buffer_);
                buffer_.clear();
                onMessage(message);
            }
        }
        if (end == std::string_view::npos) {
            return;
        }
        skipping_ = false;
        bytes.remove_prefix(end + 1);
    }
}

}  // namespace qm::cr
