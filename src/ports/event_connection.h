#pragma once

namespace qm {

// An event subscription. Events flow to the subscriber from the moment it is made until this object is
// destroyed; destroying it during an event of the same source is allowed. Ports hand it out from their
// Connect calls and take the subscriber as a weak reference: a subscriber that has gone receives
// nothing, and one that is alive is kept alive for the length of each event it receives.
class EventConnection {
  public:
    EventConnection() = default;
    EventConnection(const EventConnection&) = delete;
    EventConnection& operator=(const EventConnection&) = delete;
    virtual ~EventConnection() = default;
};

}  // namespace qm
