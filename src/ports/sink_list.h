#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "ports/event_connection.h"

namespace qm {

// The subscribers of one event source of a platform adapter. Firing works on a snapshot, so a
// subscriber may connect or disconnect others (or itself) while an event is delivered, and each
// subscriber is kept alive for the length of its own call.
template <typename Sink>
class SinkList {
  public:
    std::unique_ptr<EventConnection> Add(std::weak_ptr<Sink> sink) {
        auto entry = std::make_shared<Entry>();
        entry->sink = std::move(sink);
        entries_->push_back(entry);
        return std::make_unique<Connection>(entries_, entry);
    }

    void Fire(const std::function<void(Sink&)>& deliver) const {
        const std::vector<std::shared_ptr<Entry>> snapshot = *entries_;
        for (const auto& entry : snapshot) {
            if (!entry->connected) {
                continue;
            }
            if (const std::shared_ptr<Sink> sink = entry->sink.lock()) {
                deliver(*sink);
            }
        }
    }

    std::size_t Count() const { return entries_->size(); }

  private:
    struct Entry {
        std::weak_ptr<Sink> sink;
        bool connected = true;
    };
    using Entries = std::vector<std::shared_ptr<Entry>>;

    class Connection final : public EventConnection {
      public:
        Connection(std::weak_ptr<Entries> entries, std::shared_ptr<Entry> entry)
            : entries_(std::move(entries)), entry_(std::move(entry)) {}
        ~Connection() override {
            entry_->connected = false;
            if (const auto entries = entries_.lock()) {
                std::erase(*entries, entry_);
            }
        }

      private:
        std::weak_ptr<Entries> entries_;
        std::shared_ptr<Entry> entry_;
    };

    std::shared_ptr<Entries> entries_ = std::make_shared<Entries>();
};

}  // namespace qm
