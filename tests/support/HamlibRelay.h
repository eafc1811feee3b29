#pragma once

// A rigctld that refuses everything once the rig is open: it listens on
// 127.0.0.1 and passes one connection at a time on to a real daemon, but after
// the first `opening` commands of a connection (Hamlib's opening of the rig) it
// refuses every command with "RPRT -9"; answers already on their way back are
// still passed on. Given `refused`, it refuses only the commands that contain
// it (" ATT": reading and setting the attenuator) and passes on the rest.

#include "tests/support/HamlibPeers.h"

#include <poll.h>

#include <atomic>
#include <string>
#include <thread>

namespace corvane::testsupport {

class Relay {
public:
    Relay(quint16 upstream, int opening, std::string refused = {})
        : m_upstream(upstream), m_opening(opening), m_refused(std::move(refused)) {}
    ~Relay() {
        m_stop.store(true);
        if (m_thread.joinable()) {
            m_thread.join();
        }
        ::close(m_listener);
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
        m_thread = std::thread([this] {
            while (!m_stop.load()) {
                relay();
            }
        });
        return true;
    }
    quint16 port() const { return m_port; }

private:
    static bool send(int fd, const char* data, size_t size) {
        return ::send(fd, data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
    }

    // Serves the next connection until either side ends it; the 20 ms polls
    // let the destructor stop the thread.
    void relay() {
        pollfd listener{m_listener, POLLIN, 0};
        if (::poll(&listener, 1, 20) != 1) {
            return;
        }
        const int client = ::accept(m_listener, nullptr, nullptr);
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in a = loopback(m_upstream);
        bool gone = ::connect(server, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0;
        int commands = 0;
        std::string line;
        while (!gone && !m_stop.load()) {
            pollfd fds[] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (::poll(fds, 2, 20) <= 0) {
                continue;
            }
            char buffer[4096];
            if (fds[0].revents != 0) {
                const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
                gone = n <= 0;
                for (ssize_t k = 0; k < n; ++k) {
                    line += buffer[k];
                    if (buffer[k] != '\n') {
                        continue;
                    }
                    const bool refuse = m_refused.empty()
                                            ? commands >= m_opening
                                            : line.find(m_refused) != std::string::npos;
                    ++commands;
                    if (!refuse) {
                        send(server, line.data(), line.size());
                    } else {
                        send(client, "RPRT -9\n", 8);
                    }
                    line.clear();
                }
            }
            if (fds[1].revents != 0) {
                const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
                gone = gone || n <= 0 || !send(client, buffer, static_cast<size_t>(n));
            }
        }
        ::close(client);
        ::close(server);
    }

    quint16 m_upstream;
    int m_opening;
    std::string m_refused;
    std::atomic<bool> m_stop{false};
    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
};

} // namespace corvane::testsupport
