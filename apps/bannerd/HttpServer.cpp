#include "HttpServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Set on the accept thread while it turns a connection away because every thread is taken.
thread_local bool t_refuse = false;
class DeadlineStream;
// The stream of the request this thread serves, for the error handler.
thread_local const DeadlineStream *t_stream = nullptr;
thread_local bool t_holdsBodySlot = false;

// Threads made on demand up to a bound, one per connection; a connection that finds no free
// thread and no room for another is answered 503 at once instead of waiting in a queue.
class ConnectionThreads : public httplib::TaskQueue {
public:
    explicit ConnectionThreads(std::size_t max) : m_max(max < 1 ? 1 : max) {}
    ~ConnectionThreads() override { shutdown(); }

    void enqueue(std::function<void()> fn) override
    {
        std::unique_lock lock(m_mutex);
        // Counted per connection, not from idle threads: a thread just made is not idle yet, and
        // counting it as taken turned clients away below the bound.
        const bool room = !m_shutdown && m_active < m_max;
        if (!room) {
            lock.unlock();
            t_refuse = true;
            fn(); // closes the socket with a short answer
            t_refuse = false;
            return;
        }
        ++m_active;
        m_jobs.push_back(std::move(fn));
        if (m_jobs.size() > m_idle && m_threads.size() < m_max)
            m_threads.emplace_back([this] { Work(); });
        m_wake.notify_one();
    }

    void shutdown() override
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_shutdown)
                return;
            m_shutdown = true;
        }
        m_wake.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }

private:
    void Work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            ++m_idle;
            m_wake.wait(lock, [this] { return m_shutdown || !m_jobs.empty(); });
            --m_idle;
            if (m_jobs.empty())
                return; // shut down with nothing left to do
            std::function<void()> job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
            --m_active;
        }
    }

    const std::size_t m_max;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    std::size_t m_idle = 0;
    std::size_t m_active = 0; // connections accepted and not yet finished
    bool m_shutdown = false;
};

// A socket stream that enforces the request's deadlines and header limits while the library
// reads from it. It watches the bytes the library takes to see where the headers end.
class DeadlineStream : public httplib::Stream {
public:
    DeadlineStream(socket_t sock, const HttpLimits &limits)
        : m_sock(sock), m_limits(limits), m_headersDue(Clock::now() + limits.headerTimeout)
    {
    }

    HttpReadFault Fault() const { return m_fault; }

    bool is_readable() const override { return m_at < m_have || Wait(POLLIN, ReadDeadline()); }
    bool is_writable() const override { return Wait(POLLOUT, Clock::now() + m_limits.writeTimeout); }

    ssize_t read(char *ptr, size_t size) override
    {
        if (m_at == m_have && !Fill())
            return -1;
        std::size_t n = std::min(size, m_have - m_at);
        if (m_inHeaders) {
            for (std::size_t i = 0; i < n; ++i) {
                if (!TakeHeaderByte(m_buffer[m_at + i])) {
                    m_fault = HttpReadFault::HeadersTooLarge;
                    return -1;
                }
                if (!m_inHeaders) {
                    n = i + 1; // the body starts with the next read
                    break;
                }
            }
        }
        std::memcpy(ptr, m_buffer + m_at, n);
        m_at += n;
        return ssize_t(n);
    }

    ssize_t write(const char *ptr, size_t size) override
    {
        std::size_t done = 0;
        const Clock::time_point due = Clock::now() + m_limits.writeTimeout;
        while (done < size) {
            const ssize_t n = ::send(m_sock, ptr + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                done += std::size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && Wait(POLLOUT, due))
                continue;
            return done > 0 ? ssize_t(done) : -1;
        }
        return ssize_t(done);
    }

    void get_remote_ip_and_port(std::string &ip, int &port) const override { Address(false, ip, port); }
    void get_local_ip_and_port(std::string &ip, int &port) const override { Address(true, ip, port); }
    socket_t socket() const override { return m_sock; }

private:
    Clock::time_point ReadDeadline() const
    {
        if (m_inHeaders)
            return m_headersDue;
        const auto rate = double(std::max<std::size_t>(m_limits.minBodyRate, 1));
        return m_bodyStart + m_limits.bodyGrace
            + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(double(m_bodyBytes) / rate));
    }

    bool Wait(short events, Clock::time_point due) const
    {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
            if (left <= 0)
                return false;
            pollfd fd{m_sock, events, 0};
            const int ready = ::poll(&fd, 1, int(std::min<long long>(left, 1000)));
            if (ready > 0)
                return true;
            if (ready < 0 && errno != EINTR)
                return false;
        }
    }

    bool Fill()
    {
        for (;;) {
            const Clock::time_point due = ReadDeadline();
            if (!Wait(POLLIN, due)) {
                if (Clock::now() >= due)
                    m_fault = HttpReadFault::TimedOut;
                return false;
            }
            const ssize_t n = ::recv(m_sock, m_buffer, sizeof m_buffer, MSG_DONTWAIT);
            if (n > 0) {
                m_have = std::size_t(n);
                m_at = 0;
                if (!m_inHeaders)
                    m_bodyBytes += m_have;
                return true;
            }
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                return false;
        }
    }

    // Counts one byte of the request line or headers; false once they are over their limits.
    bool TakeHeaderByte(char c)
    {
        if (++m_headerBytes > m_limits.maxHeaderBytes)
            return false;
        if (c == '\n') {
            if (m_lineLength == 0 && m_lines > 0) {
                m_inHeaders = false;
                m_bodyStart = Clock::now();
                m_bodyBytes = m_have - m_at; // what already came with the headers
                return true;
            }
            m_lineLength = 0;
            return ++m_lines <= m_limits.maxHeaderLines;
        }
        if (c != '\r')
            ++m_lineLength;
        return true;
    }

    void Address(bool local, std::string &ip, int &port) const
    {
        sockaddr_storage addr{};
        socklen_t len = sizeof addr;
        const int rc = local ? ::getsockname(m_sock, reinterpret_cast<sockaddr *>(&addr), &len)
                             : ::getpeername(m_sock, reinterpret_cast<sockaddr *>(&addr), &len);
        char text[INET6_ADDRSTRLEN] = {};
        port = 0;
        if (rc == 0 && addr.ss_family == AF_INET) {
            const auto *in = reinterpret_cast<const sockaddr_in *>(&addr);
            ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
            port = ntohs(in->sin_port);
        } else if (rc == 0 && addr.ss_family == AF_INET6) {
            const auto *in6 = reinterpret_cast<const sockaddr_in6 *>(&addr);
            ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
            port = ntohs(in6->sin6_port);
        }
        ip = text;
    }

    socket_t m_sock;
    const HttpLimits &m_limits;
    Clock::time_point m_headersDue;
    Clock::time_point m_bodyStart;
    std::size_t m_bodyBytes = 0;
    bool m_inHeaders = true;
    std::size_t m_headerBytes = 0;
    std::size_t m_lines = 0;
    std::size_t m_lineLength = 0;
    HttpReadFault m_fault = HttpReadFault::None;
    char m_buffer[4096];
    std::size_t m_have = 0;
    std::size_t m_at = 0;
};

// Closes after the answer: what the client still sends is read and dropped for a moment, since
// closing with unread bytes would reset the connection and could destroy the answer in transit.
void CloseSocket(socket_t sock)
{
    ::shutdown(sock, SHUT_WR);
    const Clock::time_point due = Clock::now() + std::chrono::seconds(2);
    std::size_t drained = 0;
    char sink[4096];
    while (drained < 256 * 1024) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
        pollfd fd{sock, POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, int(left)) <= 0)
            break;
        const ssize_t n = ::recv(sock, sink, sizeof sink, MSG_DONTWAIT);
        if (n <= 0)
            break;
        drained += std::size_t(n);
    }
    ::close(sock);
}
} // namespace

HttpServer::HttpServer(const HttpLimits &limits)
    : m_limits(limits), m_bodySlots(std::max(1, limits.maxBodies))
{
    new_task_queue = [max = limits.maxConnections] { return new ConnectionThreads(std::size_t(max)); };
}

HttpServer::~HttpServer() = default;

HttpReadFault HttpServer::CurrentFault()
{
    return t_stream ? t_stream->Fault() : HttpReadFault::None;
}

bool HttpServer::TakeBodySlot(std::chrono::milliseconds wait)
{
    if (t_holdsBodySlot)
        return true;
    t_holdsBodySlot = m_bodySlots.try_acquire_for(wait);
    return t_holdsBodySlot;
}

bool HttpServer::process_and_close_socket(socket_t sock)
{
    if (t_refuse) {
        static const char busy[] = "HTTP/1.1 503 Service Unavailable\r\nConnection: close\r\nRetry-After: 5\r\n"
                                   "Content-Length: 0\r\n\r\n";
        [[maybe_unused]] const ssize_t n = ::send(sock, busy, sizeof busy - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        ::shutdown(sock, SHUT_WR); // on the accept thread: no lingering here
        ::close(sock);
        return false;
    }
    DeadlineStream stream(sock, m_limits);
    bool closed = false;
    // One request per connection: keeping a connection open would only let it hold its thread.
    t_stream = &stream;
    const bool ok = process_request(stream, true, closed, [](httplib::Request &) {});
    t_stream = nullptr;
    if (t_holdsBodySlot) {
        t_holdsBodySlot = false;
        m_bodySlots.release();
    }
    CloseSocket(sock);
    return ok;
}
