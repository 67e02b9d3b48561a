#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "base/task_poster.h"
#include "platform/posix/unique_fd.h"

namespace qm::posix {

// The folder where the running copy of the program keeps its lock and its socket: $XDG_RUNTIME_DIR
// when it is set and is the user's own (nobody else may write to it), otherwise `<fallbackRoot>/
// quillmere-<uid>`, made when missing and used only when it is a real folder (not a link) that belongs
// to the user and that nobody else may read, write or enter. Empty, with the reason in `why`, when no
// such folder can be had: somebody else made the fallback folder first, or made it open to others.
// `xdgRuntimeDir` may be null.
std::string UserRuntimeFolder(const char* xdgRuntimeDir,
                              std::string& why,
                              const std::string& fallbackRoot = "/tmp");
// The same, from the process's environment.
std::string UserRuntimeFolder(std::string& why);

// True when `path` is a folder (not a link to one) owned by this user that no other user may write to;
// with `privateOnly`, one that no other user may read or enter either.
bool IsUsersOwnFolder(const std::string& path, bool privateOnly, std::string& why);

// One copy of the program per user. The first copy holds a lock file in the user's runtime folder (held,
// not merely present: a copy that crashed leaves nothing behind that stops the next) and listens on a
// local socket beside it; a later copy finds the lock held and hands its request (an address, or none
// for "a new window") to the first copy over that socket.
//
// Threading: Claim and Hand are called on the calling thread before the program's loop runs. Listen
// starts a thread of its own that accepts requests and posts each one to the loop through `poster`;
// it never throws, and a request that cannot be read is dropped. Destroying the object stops the thread,
// removes the socket and lets go of the lock.
class SingleInstance {
  public:
    // `folder`: the user's runtime folder (see UserRuntimeFolder); empty when there is none, in which
    // case every copy runs as a first copy.
    explicit SingleInstance(std::string folder);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    enum class Role {
        First,   // this copy holds the lock (also when there is no folder to hold one in)
        Second,  // another copy of the user's holds it
    };
    // Takes the lock if nobody holds it. Asking again gives the same answer for a first copy.
    Role Claim();
    bool HasFolder() const { return !folder_.empty(); }

    // A second copy: hands `address` (empty: a new window) to the first copy and waits up to
    // `timeoutMs` for it to take it. False, with the reason in `why`, when the first copy did not.
    bool Hand(const std::string& address, std::string& why, int timeoutMs = 10000);

    // A first copy: from now on each request of a later copy comes to `onRequest` through `poster`, on
    // the thread that runs the poster's loop. `poster` must outlive this object.
    void Listen(TaskPoster& poster, std::function<void(const std::string& address)> onRequest);
    // Stops hearing requests (a later start then gets no answer until this copy has gone) and waits for
    // the listening thread to end, so that nothing is posted to the loop any more. Idempotent.
    void StopListening();

    const std::string& LockPath() const { return lockPath_; }
    const std::string& SocketPath() const { return socketPath_; }

  private:
    void Serve(TaskPoster& poster, const std::function<void(const std::string&)>& onRequest);
    void Answer(int client, TaskPoster& poster, const std::function<void(const std::string&)>& onRequest);

    std::string folder_;
    std::string lockPath_;
    std::string socketPath_;
    UniqueFd lock_;
    UniqueFd listener_;
    bool first_ = false;
    bool listening_ = false;
    PipePair wake_;
    std::thread thread_;
};

}  // namespace qm::posix
