#pragma once
// Explicit little-endian reading and writing of byte buffers. Readers never read past the
// end: a short read sets the failed state and yields zeros, so parsers check once at the end
// of a record or before any allocation (Remaining()).
#include <QByteArray>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

class QIODevice;

class ByteReader {
public:
    ByteReader(const char *data, std::size_t size) : m_data(data), m_size(size), m_windowEnd(size) {}
    explicit ByteReader(const QByteArray &bytes) : ByteReader(bytes.constData(), std::size_t(bytes.size())) {}
    // Reads an open device of `size` bytes as it goes, a small window at a time, so that large
    // runs (CopyTo) go from the device straight into their own storage. A device that ends
    // early fails the reader as a short buffer does.
    ByteReader(QIODevice *device, std::size_t size);

    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    float F32();
    // Copies n bytes; fails (and returns empty) when fewer than n remain.
    QByteArray Bytes(std::size_t n);
    // The next n bytes where they are, for callers that copy them once into their own storage;
    // fails (and returns null) when fewer than n remain.
    const char *View(std::size_t n);
    // Copies the next n bytes into `out`; fails (out zeroed) when fewer than n remain.
    bool CopyTo(void *out, std::size_t n) { return Take(out, n); }
    // Up to n of the next bytes, without moving on.
    std::string_view Peek(std::size_t n);
    bool Skip(std::size_t n);

    std::size_t Remaining() const { return m_failed ? 0 : m_size - m_pos; }
    std::size_t Position() const { return m_pos; }
    bool Failed() const { return m_failed; }
    bool AtEnd() const { return m_pos == m_size; }
    // Marks the reader failed, for callers that find a value out of range.
    void Fail() { m_failed = true; }

private:
    bool Take(void *out, std::size_t n);
    // True when the n bytes from the position are in the window, read from the device if need be.
    bool Window(std::size_t n);
    std::size_t Buffered() const { return m_windowEnd - m_pos; }
    const char *Here() const { return m_data + (m_pos - m_windowStart); }

    const char *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0; // from the start of the input
    bool m_failed = false;
    // The bytes of the input at m_data: all of it for a buffer, a window of a device's.
    std::size_t m_windowStart = 0;
    std::size_t m_windowEnd;
    QIODevice *m_device = nullptr;
    std::vector<char> m_window;
};

// The first `size` bytes of an open file descriptor, mapped read-only; null when it cannot be
// mapped (a pipe, an empty file). The mapping stays, whatever happens to the descriptor, until
// the last copy of the pointer goes.
std::shared_ptr<const char> MapReadOnly(int fd, std::size_t size);
// Reading a mapping whose file another program shortened meanwhile raises SIGBUS. From this call
// on, the process then writes `message` to standard error and ends with `exitCode` at once, for
// programs that keep nothing but files written completely or not at all.
void EndOnUnreadableMapping(const QByteArray &message, int exitCode);

class ByteWriter {
public:
    void U8(std::uint8_t v) { m_out.append(char(v)); }
    void U16(std::uint16_t v);
    void U32(std::uint32_t v);
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void I16(std::int16_t v) { U16(static_cast<std::uint16_t>(v)); }
    void F32(float v);
    void Bytes(const QByteArray &b) { m_out.append(b); }
    void Bytes(const char *p, std::size_t n) { m_out.append(p, qsizetype(n)); }

    const QByteArray &Data() const { return m_out; }
    QByteArray Take() { return std::move(m_out); }

private:
    QByteArray m_out;
};
