#pragma once
// cpp-httplib's server with limits that hold against slow and oversized requests: every
// connection gets a thread of its own up to a bound (beyond it the answer is 503 at once), the
// request line and headers must arrive whole within a deadline and within a size, and a body
// must keep up a minimum rate. A slow client therefore only ever holds its own thread, never a
// place that a good client waits behind.
#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <semaphore>

struct HttpLimits {
    // From accept to the end of the headers.
    std::chrono::milliseconds headerTimeout{5000};
    // A body may take this long plus its size at the minimum rate.
    std::chrono::milliseconds bodyGrace{5000};
    std::size_t minBodyRate = 16 * 1024; // bytes per second
    std::chrono::milliseconds writeTimeout{10000};
    // Request line and headers together.
    std::size_t maxHeaderBytes = 32 * 1024;
    std::size_t maxHeaderLines = 100;
    int maxConnections = 512;
    // Request bodies held in memory at once (each up to the upload limit).
    int maxBodies = 32;
};

// What went wrong while reading the current request on this thread, for the error page.
enum class HttpReadFault { None, TimedOut, HeadersTooLarge };

class HttpServer : public httplib::Server {
public:
    explicit HttpServer(const HttpLimits &limits);
    ~HttpServer() override;

    const HttpLimits &Limits() const { return m_limits; }
    // The fault of the request being handled on the calling thread.
    static HttpReadFault CurrentFault();
    // Before reading a body: a place for it in memory, kept until the request ends; false when
    // none came free within `wait`.
    bool TakeBodySlot(std::chrono::milliseconds wait);

private:
    bool process_and_close_socket(socket_t sock) override;

    HttpLimits m_limits;
    std::counting_semaphore<> m_bodySlots;
};
