#pragma once

#include <cstddef>
#include <string_view>

namespace qm::cr {

// The program's ends of the browser's protocol pipe: a byte stream each way. How a read waits (poll() on
// descriptors, or an overlapped read on a Windows pipe) is the system's; the connection only reads,
// writes and, to stop, interrupts a read that waits.
//
// One thread reads (the connection's I/O thread); writes come from any thread but one at a time (the
// connection holds a lock around them); Interrupt comes from any thread.
class BrowserPipe {
  public:
    // What Read answers besides a count of bytes.
    static constexpr std::ptrdiff_t kEnd = 0;           // the browser's end is closed, or reading failed
    static constexpr std::ptrdiff_t kInterrupted = -1;  // Interrupt was called

    BrowserPipe() = default;
    BrowserPipe(const BrowserPipe&) = delete;
    BrowserPipe& operator=(const BrowserPipe&) = delete;
    virtual ~BrowserPipe() = default;

    // Whether both ends are open and usable (a pipe that could not be set up is not).
    virtual bool Valid() const = 0;
    // Waits until the browser has written something, its end has closed, or Interrupt is called, and
    // answers the number of bytes read into `buffer` (at most `size`), kEnd or kInterrupted. Once
    // interrupted, every later Read answers kInterrupted at once.
    virtual std::ptrdiff_t Read(char* buffer, std::size_t size) = 0;
    // Writes all of `data`. False when the browser has gone, or has not taken the bytes within
    // `timeoutMs` (it stopped reading): part of a message may then be in the pipe, so the stream is of
    // no further use.
    virtual bool Write(std::string_view data, int timeoutMs) = 0;
    // Makes a waiting Read, and every later one, answer kInterrupted. Thread-safe.
    virtual void Interrupt() = 0;
    // Lets go of both ends. Not while a Read runs.
    virtual void Close() = 0;
};

}  // namespace qm::cr
