#pragma once

// A rigctld that refuses everything once the rig is open: it listens on
// 127.0.0.1 and passes each connection on to a real daemon, but after the
// first `opening` commands of a connection (Hamlib's opening of the rig) it
// refuses every command with "RPRT -9"; answers already on their way back are
// still passed on.

#include "tests/support/HamlibPeers.h"

#include <fcntl.h>
#include <poll.h>

#include <atomic>
#include <string>
#include <thread>

namespace corvane::testsupport {

class Relay {
public:
    Relay(quint16 upstream, int opening) : m_upstream(upstream), m_opening(opening) {}
    ~Relay() {
        m_stop.store(true);
        if (m_thread.joinable()) {
            m_thread.join();
        }
        if (m_listener >= 0) {
            ::close(m_listener);
        }
    }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    bool start() {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = loopback(0);
        socklen_t size = sizeof a;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(m_listener, 4) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
            return false;
        }
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
        return true;
    }
    quint16 port() const { return m_port; }

private:
    struct Link {
        int client = -1;
        int server = -1;
        int commands = 0;
        std::string line;
    };

    static bool send(int fd, const char* data, size_t size) {
        return ::send(fd, data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
    }

    // One command from the client, with its newline.
    void command(Link& link) {
        if (link.commands++ < m_opening) {
            send(link.server, link.line.data(), link.line.size());
        } else {
            send(link.client, "RPRT -9\n", 8);
        }
    }

    void run() {
        std::vector<Link> links;
        while (!m_stop.load()) {
            std::vector<pollfd> fds{{m_listener, POLLIN, 0}};
            for (const Link& l : links) {
                fds.push_back({l.client, POLLIN, 0});
                fds.push_back({l.server, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 20) <= 0) {
                continue;
            }
            if ((fds[0].revents & POLLIN) != 0) {
                Link l;
                l.client = ::accept(m_listener, nullptr, nullptr);
                l.server = ::socket(AF_INET, SOCK_STREAM, 0);
                const sockaddr_in a = loopback(m_upstream);
                if (::connect(l.server, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) {
                    links.push_back(l);
                } else {
                    ::close(l.client);
                    ::close(l.server);
                }
            }
            for (size_t i = 0; i < links.size() && 1 + 2 * i < fds.size(); ++i) {
                Link& l = links[i];
                char buffer[4096];
                bool gone = false;
                if ((fds[1 + 2 * i].revents & (POLLIN | POLLHUP)) != 0) {
                    const ssize_t n = ::recv(l.client, buffer, sizeof buffer, 0);
                    gone = n <= 0;
                    for (ssize_t k = 0; k < n; ++k) {
                        l.line += buffer[k];
                        if (buffer[k] == '\n') {
                            command(l);
                            l.line.clear();
                        }
                    }
                }
                if ((fds[2 + 2 * i].revents & (POLLIN | POLLHUP)) != 0) {
                    const ssize_t n = ::recv(l.server, buffer, sizeof buffer, 0);
                    gone = gone || n <= 0 || !send(l.client, buffer, static_cast<size_t>(n));
                }
                if (gone) {
                    ::close(l.client);
                    ::close(l.server);
                    l.client = -1;
                }
            }
            std::erase_if(links, [](const Link& l) { return l.client < 0; });
        }
        for (const Link& l : links) {
            ::close(l.client);
            ::close(l.server);
        }
    }

    quint16 m_upstream;
    int m_opening;
    std::atomic<bool> m_stop{false};
    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

} // namespace corvane::testsupport
