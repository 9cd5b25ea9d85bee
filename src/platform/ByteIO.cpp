#include "platform/ByteIO.h"

#include <QIODevice>

#include <algorithm>
#include <bit>

#include <csignal>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {
// Small: the window's bytes are copied once more, and most of a banner file is picture blocks,
// which go past it.
constexpr std::size_t kWindow = 8 * 1024;

QByteArray g_unreadableMappingMessage;
int g_unreadableMappingExit = 1;

void OnBusError(int)
{
    const ssize_t written = ::write(STDERR_FILENO, g_unreadableMappingMessage.constData(),
                                    std::size_t(g_unreadableMappingMessage.size()));
    static_cast<void>(written);
    std::_Exit(g_unreadableMappingExit);
}

// Reads exactly n bytes unless the device ends or fails first.
bool ReadFully(QIODevice *device, char *out, std::size_t n)
{
    while (n > 0) {
        const qint64 got = device->read(out, qint64(n));
        if (got <= 0)
            return false;
        out += got;
        n -= std::size_t(got);
    }
    return true;
}
} // namespace

ByteReader::ByteReader(QIODevice *device, std::size_t size)
    : m_data(nullptr), m_size(size), m_windowEnd(0), m_device(device)
{
}

bool ByteReader::Window(std::size_t n)
{
    if (Buffered() >= n)
        return true;
    if (!m_device)
        return false;
    // Keeps what is left of the window, then reads at least n bytes (a window's worth when the
    // input has them).
    const std::size_t kept = Buffered();
    const std::size_t from = m_pos - m_windowStart;
    const std::size_t want = std::min(std::max(n, kWindow), m_size - m_pos);
    if (m_window.size() < want) {
        std::vector<char> larger(want);
        if (kept > 0)
            std::memcpy(larger.data(), m_window.data() + from, kept);
        m_window.swap(larger);
    } else if (kept > 0) {
        std::memmove(m_window.data(), m_window.data() + from, kept);
    }
    if (!ReadFully(m_device, m_window.data() + kept, want - kept))
        return false;
    m_data = m_window.data();
    m_windowStart = m_pos;
    m_windowEnd = m_pos + want;
    return true;
}

bool ByteReader::Take(void *out, std::size_t n)
{
    if (m_failed || m_size - m_pos < n) {
        m_failed = true;
        std::memset(out, 0, n);
        return false;
    }
    if (n > kWindow && m_device) {
        // A large run goes from the device into the caller's storage, past the window.
        const std::size_t kept = Buffered();
        if (kept > 0)
            std::memcpy(out, Here(), kept);
        if (!ReadFully(m_device, static_cast<char *>(out) + kept, n - kept)) {
            m_failed = true;
            std::memset(out, 0, n);
            return false;
        }
        m_pos += n;
        m_windowStart = m_windowEnd = m_pos;
        return true;
    }
    if (!Window(n)) {
        m_failed = true;
        std::memset(out, 0, n);
        return false;
    }
    std::memcpy(out, Here(), n);
    m_pos += n;
    return true;
}

std::string_view ByteReader::Peek(std::size_t n)
{
    n = std::min(n, m_failed ? 0 : m_size - m_pos);
    if (!Window(n))
        return {};
    return {Here(), n};
}

std::uint8_t ByteReader::U8()
{
    unsigned char b[1];
    Take(b, 1);
    return b[0];
}

std::uint16_t ByteReader::U16()
{
    unsigned char b[2];
    Take(b, 2);
    return std::uint16_t(b[0] | (b[1] << 8));
}

std::uint32_t ByteReader::U32()
{
    unsigned char b[4];
    Take(b, 4);
    return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16)
        | (std::uint32_t(b[3]) << 24);
}

float ByteReader::F32()
{
    return std::bit_cast<float>(U32());
}

QByteArray ByteReader::Bytes(std::size_t n)
{
    if (m_failed || m_size - m_pos < n) {
        m_failed = true;
        return QByteArray();
    }
    QByteArray out(qsizetype(n), Qt::Uninitialized);
    return Take(out.data(), n) ? out : QByteArray();
}

const char *ByteReader::View(std::size_t n)
{
    if (m_failed || m_size - m_pos < n || !Window(n)) {
        m_failed = true;
        return nullptr;
    }
    const char *at = Here();
    m_pos += n;
    return at;
}

bool ByteReader::Skip(std::size_t n)
{
    if (m_failed || m_size - m_pos < n || !Window(n)) {
        m_failed = true;
        return false;
    }
    m_pos += n;
    return true;
}

std::shared_ptr<const char> MapReadOnly(int fd, std::size_t size)
{
    if (fd < 0 || size == 0)
        return {};
    void *at = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (at == MAP_FAILED)
        return {};
    return std::shared_ptr<const char>(static_cast<const char *>(at), [size](const char *p) {
        ::munmap(const_cast<char *>(p), size);
    });
}

void EndOnUnreadableMapping(const QByteArray &message, int exitCode)
{
    g_unreadableMappingMessage = message;
    g_unreadableMappingExit = exitCode;
    struct sigaction action = {};
    action.sa_handler = OnBusError;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, nullptr);
}

void ByteWriter::U16(std::uint16_t v)
{
    m_out.append(char(v & 0xFF));
    m_out.append(char(v >> 8));
}

void ByteWriter::U32(std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m_out.append(char((v >> (8 * i)) & 0xFF));
}

void ByteWriter::F32(float v)
{
    U32(std::bit_cast<std::uint32_t>(v));
}
