#include "platform/ByteIO.h"

#include <bit>

bool ByteReader::Take(void *out, std::size_t n)
{
    if (m_failed || m_size - m_pos < n) {
        m_failed = true;
        std::memset(out, 0, n);
        return false;
    }
    std::memcpy(out, m_data + m_pos, n);
    m_pos += n;
    return true;
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
    const char *at = View(n);
    return at ? QByteArray(at, qsizetype(n)) : QByteArray();
}

const char *ByteReader::View(std::size_t n)
{
    if (m_failed || m_size - m_pos < n) {
        m_failed = true;
        return nullptr;
    }
    const char *at = m_data + m_pos;
    m_pos += n;
    return at;
}

bool ByteReader::Skip(std::size_t n)
{
    if (m_failed || m_size - m_pos < n) {
        m_failed = true;
        return false;
    }
    m_pos += n;
    return true;
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
