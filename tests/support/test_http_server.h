#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace qm::cr::testing {

// A tiny HTTP server on 127.0.0.1 for the end-to-end tests: it serves pages the test registers and the
// cr_*.html fixtures, answers 404 for anything else, and remembers every path it was asked for.
class TestHttpServer {
  public:
    TestHttpServer() {
        listen_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        ::bind(listen_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listen_.Get(), 64);
        socklen_t length = sizeof address;
        ::getsockname(listen_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        stop_.Reset(::eventfd(0, EFD_CLOEXEC));
        thread_ = std::thread([this] { Serve(); });
    }
    ~TestHttpServer() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(stop_.Get(), &one, sizeof one);
        thread_.join();
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            for (const int fd : openClients_) {
                ::shutdown(fd, SHUT_RDWR);
            }
        }
        for (auto& t : clients_) {
            t.join();
        }
    }

    int Port() const { return port_; }
    // An address of this server; `host` may be "localhost" to make a page of another site.
    std::string Url(const std::string& path, const std::string& host = "127.0.0.1") const {
        return "http://" + host + ":" + std::to_string(port_) + path;
    }
    void AddPage(const std::string& path, std::string html) {
        const std::lock_guard<std::mutex> lock(mutex_);
        pages_[path] = std::move(html);
    }
    std::vector<std::string> Requests() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }
    bool WasRequested(const std::string& path) const {
        for (const auto& r : Requests()) {
            if (r == path) {
                return true;
            }
        }
        return false;
    }

  private:
    std::string Body(const std::string& path, bool& found) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            const auto page = pages_.find(path);
            if (page != pages_.end()) {
                found = true;
                return page->second;
            }
        }
        const std::string name =
            path.substr(1, path.find('?') == std::string::npos ? std::string::npos : path.find('?') - 1);
        if (name.rfind("cr_", 0) == 0 && name.find('/') == std::string::npos) {
            std::ifstream in(std::string(QM_FIXTURES_DIR) + "/" + name, std::ios::binary);
            if (in) {
                std::ostringstream text;
                text << in.rdbuf();
                found = true;
                return text.str();
            }
        }
        found = false;
        return "not found";
    }

    void Serve() {
        for (;;) {
            pollfd fds[2] = {{listen_.Get(), POLLIN, 0}, {stop_.Get(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || fds[1].revents) {
                return;
            }
            const int fd = ::accept4(listen_.Get(), nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            const std::lock_guard<std::mutex> lock(mutex_);
            openClients_.push_back(fd);
            clients_.emplace_back([this, fd] { Answer(fd); });
        }
    }

    // One connection, one request (the browser may also open connections it never uses).
    void Answer(int fd) {
        std::string request;
        char chunk[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            request.append(chunk, static_cast<std::size_t>(n));
        }
        if (request.find("\r\n\r\n") != std::string::npos) {
            std::istringstream line(request);
            std::string method, path;
            line >> method >> path;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(path);
            }
            bool found = false;
            const std::string body = Body(path, found);
            const std::string response = std::string(found ? "HTTP/1.0 200 OK" : "HTTP/1.0 404 Not Found") +
                                         "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                                         std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            std::size_t written = 0;
            while (written < response.size()) {
                const ssize_t n =
                    ::send(fd, response.data() + written, response.size() - written, MSG_NOSIGNAL);
                if (n <= 0) {
                    break;
                }
                written += static_cast<std::size_t>(n);
            }
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        std::erase(openClients_, fd);
        ::close(fd);
    }

    posix::UniqueFd listen_;
    posix::UniqueFd stop_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> pages_;
    std::vector<std::string> requests_;
    std::vector<int> openClients_;
    std::vector<std::thread> clients_;
};

}  // namespace qm::cr::testing
