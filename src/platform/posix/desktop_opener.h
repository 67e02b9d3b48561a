#pragma once

#include <cstdint>
#include <string>

namespace qm::posix {

// Opens documents, folders and addresses (web pages, mail links) with the desktop's own opener,
// xdg-open, the way the shell's execute call opens them on Windows. The opener is started directly
// with the target as its one argument, never through a shell, in a process group of its own, and left
// to run: the call does not wait for the application it opens.
//
// The answers are those of the shell's execute call: above 32 when the opener was started, 2 ("file
// not found") when the target is empty, is a path that does not exist, or the opener cannot be started.
// What the opened application then does is not known here. Calls are made on the user-interface
// thread; none throws.
class DesktopOpener {
  public:
    static constexpr std::intptr_t kOpened = 42;
    static constexpr std::intptr_t kFileNotFound = 2;

    // `opener`: the program to start, looked up on PATH when it holds no slash.
    explicit DesktopOpener(std::string opener = "xdg-open");

    // Opens `target`: an address with a scheme ("mailto:someone@example.com", "https://...") or a path
    // of the file system.
    std::intptr_t Open(const std::string& target) const;

    // The shell's execute call for a document or an address: `file` is opened as Open does. Starting a
    // program with `parameters` is not something the desktop's opener can do, so any parameters make it
    // answer "file not found", as the shell does for a program it cannot find.
    std::intptr_t ShellExecute(const std::string& file, const std::string& parameters) const;

    // Whether `target` starts with an address scheme: a letter, then letters, digits, '+', '-' or '.',
    // then ':'. One letter is a drive, not a scheme.
    static bool HasScheme(const std::string& target);

  private:
    std::string opener_;
};

}  // namespace qm::posix
