#include "platform/imaging/PackedDib.h"

#include "platform/ByteIO.h"

#include <QtEndian>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#include <tmmintrin.h>
#endif

#include <atomic>
#include <bit>
#include <climits>
#include <cstring>
#include <mutex>

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;

struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0; // largest value of the field

    explicit Channel(std::uint32_t m = 0) : mask(m)
    {
        if (m == 0)
            return;
        shift = std::countr_zero(m);
        max = std::uint64_t(m) >> shift;
    }
    int Extract(std::uint32_t px) const
    {
        if (mask == 0)
            return 0;
        const std::uint64_t v = (std::uint64_t(px) & mask) >> shift;
        return int((v * 255 + max / 2) / max);
    }
};

std::uint32_t LoadLE(const std::uint8_t *p, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint32_t(p[i]) << (8 * i);
    return v;
}

// One row of 24-bit pixels (blue, green, red) as opaque RGB32. Four bytes read at once hold a
// pixel and the next one's blue, which the opaque alpha covers; the last pixel is read alone, so
// no read passes the end of the row.
void Row24(const std::uint8_t *s, int w, QRgb *d)
{
    int x = 0;
    for (; x + 1 < w; ++x, s += 3)
        d[x] = qFromLittleEndian<quint32>(s) | 0xFF000000u;
    if (x < w)
        d[x] = qRgb(s[2], s[1], s[0]);
}

#if defined(__x86_64__) || defined(__i386__)
// The same, four pixels to a shuffle where the processor has SSSE3: each 16-byte read holds four
// pixels and four bytes more, so it stops six pixels before the end and the rest go one by one.
__attribute__((target("ssse3"))) void Row24Shuffled(const std::uint8_t *s, int w, QRgb *d)
{
    const __m128i order = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    int x = 0;
    for (; x + 6 <= w; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 3 * std::size_t(x)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(d + x), _mm_or_si128(_mm_shuffle_epi8(v, order), alpha));
    }
    Row24(s + 3 * std::size_t(x), w - x, d + x);
}

// Sixteen pixels a round where the processor has AVX2, from four loads of 16 bytes (four pixels
// and four bytes more each): a round reads 52 bytes for its 48, so the rounds stop while 18
// pixels remain and the rest go four at a time. Decoding the pictures is a good part of rendering
// frames for a GIF; this takes half the time the shuffle of four pixels does.
// Eight pixels' bytes, four in each half of the register.
__attribute__((target("avx2"))) inline __m256i LoadEight24(const std::uint8_t *p)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 12)), 1);
}

__attribute__((target("avx2"))) void Row24Wide(const std::uint8_t *s, int w, QRgb *d)
{
    const __m256i order = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4,
                                           5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    int x = 0;
    for (; x + 18 <= w; x += 16) {
        const std::uint8_t *p = s + 3 * std::size_t(x);
        const __m256i low = _mm256_shuffle_epi8(LoadEight24(p), order);
        const __m256i high = _mm256_shuffle_epi8(LoadEight24(p + 24), order);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(d + x), _mm256_or_si256(low, alpha));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(d + x + 8), _mm256_or_si256(high, alpha));
    }
    Row24Shuffled(s + 3 * std::size_t(x), w - x, d + x);
}

// Asked at start-up, possibly before the runtime's own start-up code has read the processor.
const auto kRow24 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? Row24Wide : __builtin_cpu_supports("ssse3") ? Row24Shuffled : Row24;
}();
#else
const auto kRow24 = Row24;
#endif

} // namespace

namespace Dib {

QImage Decode(const std::uint8_t *data, std::size_t size, DibHeaderExtras *extras, DibFormat *format)
{
    if (data == nullptr || size < 12)
        return {};
    ByteReader r(reinterpret_cast<const char *>(data), size);
    const std::uint32_t headerSize = r.U32();
    qint64 width = 0, height = 0;
    int bpp = 0;
    std::uint32_t compression = kBiRgb, colorsUsed = 0;
    std::int32_t xppm = 0, yppm = 0;
    std::uint32_t sizeImage = 0;
    bool core = false;
    if (headerSize == 12) {
        core = true;
        width = r.U16();
        height = r.U16();
        r.U16();
        bpp = r.U16();
    } else if (headerSize >= 40 && headerSize <= 124 && headerSize <= size) {
        width = r.I32();
        const std::int32_t h = r.I32();
        if (h == INT_MIN)
            return {};
        height = h;
        r.U16(); // planes
        bpp = r.U16();
        compression = r.U32();
        sizeImage = r.U32();
        xppm = r.I32();
        yppm = r.I32();
        colorsUsed = r.U32();
        r.U32(); // important colours
    } else {
        return {};
    }
    if (r.Failed())
        return {};
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (!SizeAcceptable(width, height))
        return {};
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return {};

    // Channel masks: BI_RGB defaults, or the bit fields after (INFO) or inside (V4/V5) the header.
    Channel red, green, blue;
    std::size_t offset = headerSize;
    if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
        if (bpp != 16 && bpp != 32)
            return {};
        const std::size_t maskCount = compression == kBiAlphaBitfields ? 4 : 3;
        if (size < 40 + maskCount * 4)
            return {};
        red = Channel(LoadLE(data + 40, 4));
        green = Channel(LoadLE(data + 44, 4));
        blue = Channel(LoadLE(data + 48, 4));
        if (headerSize == 40)
            offset += maskCount * 4;
    } else if (compression == kBiRgb) {
        if (bpp == 16) {
            red = Channel(0x7C00);
            green = Channel(0x03E0);
            blue = Channel(0x001F);
        } else if (bpp == 32) {
            red = Channel(0x00FF0000);
            green = Channel(0x0000FF00);
            blue = Channel(0x000000FF);
        }
    } else {
        return {}; // RLE, JPEG and PNG payloads are not blocks this system makes or reads
    }

    // Colour table.
    QVector<QRgb> table;
    const std::size_t entrySize = core ? 3 : 4;
    std::size_t entries = colorsUsed;
    if (bpp <= 8) {
        if (entries == 0 || core)
            entries = std::size_t(1) << bpp;
        if (entries > 256)
            return {};
    } else if (entries > 256) {
        return {};
    }
    if (offset > size || (size - offset) / entrySize < entries)
        return {};
    QVector<QRgb> stored;
    stored.reserve(qsizetype(entries));
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint8_t *e = data + offset + i * entrySize;
        stored.push_back(qRgb(e[2], e[1], e[0]));
    }
    if (bpp <= 8) {
        table = stored.mid(0, qsizetype(std::size_t(1) << bpp));
        table.resize(qsizetype(std::size_t(1) << bpp), qRgb(0, 0, 0));
    }
    offset += entries * entrySize;

    const qint64 stride = ((width * bpp + 31) / 32) * 4;
    if (offset > size || qint64(size - offset) / stride < height)
        return {};

    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const int w = int(width);
    for (int y = 0; y < int(height); ++y) {
        const int srcRow = topDown ? y : int(height) - 1 - y;
        const std::uint8_t *s = data + offset + qint64(srcRow) * stride;
        auto *d = reinterpret_cast<QRgb *>(image.scanLine(y));
        switch (bpp) {
        case 24:
            kRow24(s, w, d);
            break;
        case 32:
        case 16: {
            const int step = bpp / 8;
            for (int x = 0; x < w; ++x, s += step) {
                const std::uint32_t px = LoadLE(s, step);
                d[x] = qRgb(red.Extract(px), green.Extract(px), blue.Extract(px));
            }
            break;
        }
        default: {
            const int perByte = 8 / bpp;
            const int mask = (1 << bpp) - 1;
            for (int x = 0; x < w; ++x) {
                const int byte = s[x / perByte];
                const int shift = 8 - bpp * (x % perByte + 1);
                d[x] = table[(byte >> shift) & mask];
            }
            break;
        }
        }
    }
    if (extras != nullptr) {
        extras->xPelsPerMeter = xppm;
        extras->yPelsPerMeter = yppm;
        extras->sizeImageZero = !core && sizeImage == 0;
    }
    if (format != nullptr) {
        format->bitsPerPixel = bpp;
        format->colorTable = std::move(stored);
    }
    return image;
}

namespace {
// Writes n pixels as 3 bytes each: blue, green, red. All but the last go as four bytes (blue,
// green, red, alpha), the alpha byte overwritten by the next pixel.
void PutRow24(const QRgb *s, int n, std::uint8_t *d)
{
    int x = 0;
    for (; x + 1 < n; ++x, d += 3) {
        const QRgb bgra = qToLittleEndian(s[x]);
        std::memcpy(d, &bgra, 4);
    }
    if (x < n) {
        d[0] = std::uint8_t(qBlue(s[x]));
        d[1] = std::uint8_t(qGreen(s[x]));
        d[2] = std::uint8_t(qRed(s[x]));
    }
}

// Writes pixels [x0, x1) of the picture's rows [y0, y1) into a 24-bit bottom-up pixel array.
void Put24(const QImage &image, int x0, int x1, int y0, int y1, std::uint8_t *pixels, std::size_t stride)
{
    const int h = image.height();
    for (int y = y0; y < y1; ++y)
        PutRow24(reinterpret_cast<const QRgb *>(image.constScanLine(y)) + x0, x1 - x0,
                 pixels + std::size_t(h - 1 - y) * stride + std::size_t(x0) * 3);
}

std::size_t Stride24(int width)
{
    return (std::size_t(width) * 3 + 3) & ~std::size_t(3);
}

// Whether the block is one Encode24 makes of a picture of the image's size (an RGB32 image).
bool IsBlock24Of(const PackedDib &block, const QImage &image)
{
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        return false;
    const int w = image.width(), h = image.height();
    if (block.Size() != 40 + Stride24(w) * std::size_t(h))
        return false;
    if (!block.IsComposed())
        return true; // patched blocks are made only on such blocks, and keep their size
    ByteReader header(reinterpret_cast<const char *>(block.Data()), 40);
    return header.U32() == 40 && header.I32() == w && header.I32() == h && header.U16() == 1 && header.U16() == 24
        && header.U32() == kBiRgb;
}
} // namespace

PackedDib Encode24(const QImage &source, const DibHeaderExtras &extras)
{
    if (source.isNull())
        return {};
    const QImage image = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
        ? source
        : source.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    const std::size_t stride = Stride24(w);
    const std::size_t imageBytes = stride * std::size_t(h);
    std::vector<std::uint8_t> out(40 + imageBytes, 0);
    ByteWriter header;
    header.U32(40);
    header.I32(w);
    header.I32(h);
    header.U16(1);
    header.U16(24);
    header.U32(kBiRgb);
    header.U32(extras.sizeImageZero ? 0 : std::uint32_t(imageBytes));
    header.I32(extras.xPelsPerMeter);
    header.I32(extras.yPelsPerMeter);
    header.U32(0);
    header.U32(0);
    std::memcpy(out.data(), header.Data().constData(), 40);
    Put24(image, 0, w, 0, h, out.data() + 40, stride);
    return PackedDib(std::move(out));
}

bool Update24(PackedDib *block, const QImage &image, const QRect &rect)
{
    if (!IsBlock24Of(*block, image))
        return false;
    const QRect r = rect & image.rect();
    if (!r.isEmpty())
        Put24(image, r.left(), r.right() + 1, r.top(), r.bottom() + 1, block->MutableBytes().data() + 40,
              Stride24(image.width()));
    return true;
}

} // namespace Dib

// ---- Patched blocks ----------------------------------------------------------------------------

struct PackedDib::Patch {
    struct Span {
        int x, y, n; // n pixels from (x, y), in picture coordinates (rows top-down)
    };
    PackedDib base;   // let go of once composed
    int height = 0;   // of the picture
    std::size_t stride = 0;
    std::size_t size = 0;
    std::vector<Span> spans;
    std::unique_ptr<std::uint8_t[]> pixels; // the spans' pixels one after the other, 3 bytes each (B, G, R)
    std::atomic<bool> composed{false};
    std::vector<std::uint8_t> bytes;  // the composed block

    ~Patch()
    {
        // A long run of patches, each the last owner of the one before, goes one after the
        // other, not by recursion.
        std::shared_ptr<Patch> next = std::move(base.m_patch);
        while (next && next.use_count() == 1) {
            std::shared_ptr<Patch> after = std::move(next->base.m_patch);
            next = std::move(after);
        }
    }
};

namespace {
// One bit per pixel of a row, set where the colour (alpha aside) differs between `now` and `was`,
// with room for the bits past the row, which are clear.
void MarkDiffering(const QRgb *now, const QRgb *was, int n, std::uint64_t *bits)
{
    std::memset(bits, 0, (std::size_t(n) / 64 + 2) * sizeof *bits);
    int x = 0;
#if defined(__SSE2__)
    const __m128i colours = _mm_set1_epi32(0x00FFFFFF), zero = _mm_setzero_si128();
    for (; x + 4 <= n; x += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(now + x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(was + x));
        const __m128i same = _mm_cmpeq_epi32(_mm_and_si128(_mm_xor_si128(a, b), colours), zero);
        const auto four = std::uint64_t(~_mm_movemask_ps(_mm_castsi128_ps(same)) & 0xF);
        bits[x / 64] |= four << (x % 64);
    }
#endif
    for (; x < n; ++x)
        if (((now[x] ^ was[x]) & 0xFFFFFFu) != 0)
            bits[x / 64] |= std::uint64_t(1) << (x % 64);
}

// The first set bit at or after x in a row's bits, or `end` if none before it.
int NextSet(const std::uint64_t *bits, int x, int end)
{
    for (int word = x / 64; word * 64 < end; ++word) {
        const std::uint64_t w = bits[word] & (word == x / 64 ? ~std::uint64_t(0) << (x % 64) : ~std::uint64_t(0));
        if (w != 0)
            return std::min(end, word * 64 + std::countr_zero(w));
    }
    return end;
}

// Composing may happen on any thread that reads a picture; one at a time is plenty.
std::mutex &ComposeMutex()
{
    static std::mutex mutex;
    return mutex;
}
} // namespace

PackedDib PackedDib::Patched(const PackedDib &base, const QImage &before, const QImage &image, const QRect &rect)
{
    return Patched(base, before, image, rect, nullptr);
}

PackedDib PackedDib::Patched(const PackedDib &base, QImage *before, const QImage &image, const QRect &rect)
{
    const bool comparable = before->size() == image.size()
        && (before->format() == QImage::Format_RGB32 || before->format() == QImage::Format_ARGB32);
    return Patched(base, *before, image, rect, comparable ? before : nullptr);
}

PackedDib PackedDib::Patched(const PackedDib &base, const QImage &before, const QImage &image, const QRect &rect,
                             QImage *update)
{
    if (!Dib::IsBlock24Of(base, image)) {
        const QRect r = rect & image.rect();
        for (int y = r.top(); update && y <= r.bottom(); ++y)
            std::memcpy(reinterpret_cast<QRgb *>(update->scanLine(y)) + r.left(),
                        reinterpret_cast<const QRgb *>(image.constScanLine(y)) + r.left(), std::size_t(r.width()) * sizeof(QRgb));
        return Dib::Encode24(image);
    }
    const QRect r = rect & image.rect();
    if (r.isEmpty())
        return base;
    const bool compare = before.size() == image.size()
        && (before.format() == QImage::Format_RGB32 || before.format() == QImage::Format_ARGB32);
    auto patch = std::make_shared<Patch>();
    // The spans first, then their pixels in one allocation of the right size. A span goes on over
    // gaps of up to two equal pixels, which cost less than a span.
    // Bits of the differing pixels of a row, and of where three equal ones in a row begin (the
    // pixels past the row count as equal).
    const int w = r.width();
    const std::size_t words = std::size_t(w) / 64 + 2;
    // Reused from call to call: a long animation makes one patch per frame.
    static thread_local std::vector<std::uint64_t> differs, gapStarts;
    static thread_local std::vector<Patch::Span> spans;
    differs.resize(words);
    gapStarts.resize(words);
    spans.clear();
    std::size_t count = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const auto *now = reinterpret_cast<const QRgb *>(image.constScanLine(y)) + r.left();
        if (!compare) {
            spans.push_back({r.left(), y, w});
            count += std::size_t(w);
            continue;
        }
        MarkDiffering(now, reinterpret_cast<const QRgb *>(before.constScanLine(y)) + r.left(), w, differs.data());
        for (std::size_t i = 0; i + 1 < words; ++i) {
            const std::uint64_t equal = ~differs[i], next = ~differs[i + 1];
            gapStarts[i] = equal & ((equal >> 1) | (next << 63)) & ((equal >> 2) | (next << 62));
        }
        gapStarts[words - 1] = ~std::uint64_t(0);
        for (int x = NextSet(differs.data(), 0, w); x < w; x = NextSet(differs.data(), x, w)) {
            const int end = NextSet(gapStarts.data(), x, w); // one past the span's last differing pixel
            spans.push_back({r.left() + x, y, end - x});
            count += std::size_t(end - x);
            x = end;
        }
    }
    if (spans.empty())
        return base;
    patch->pixels.reset(new std::uint8_t[count * 3]);
    std::uint8_t *to = patch->pixels.get();
    const uchar *const imageBits = image.constBits();
    uchar *const updateBits = update ? update->bits() : nullptr;
    for (const Patch::Span &span : spans) {
        const auto *from = reinterpret_cast<const QRgb *>(imageBits + span.y * image.bytesPerLine()) + span.x;
        Dib::PutRow24(from, span.n, to);
        to += std::size_t(span.n) * 3;
        if (updateBits)
            std::memcpy(reinterpret_cast<QRgb *>(updateBits + span.y * update->bytesPerLine()) + span.x, from,
                        std::size_t(span.n) * sizeof(QRgb));
    }
    patch->base = base;
    patch->height = image.height();
    patch->stride = Dib::Stride24(image.width());
    patch->size = base.Size();
    patch->spans.assign(spans.begin(), spans.end());
    PackedDib out;
    out.m_patch = std::move(patch);
    return out;
}

void PackedDib::Compose(Patch *patch)
{
    const std::lock_guard<std::mutex> lock(ComposeMutex());
    // The patches down to a composed one (or a block of its own), composed from there up.
    std::vector<Patch *> run;
    for (Patch *p = patch; p && !p->composed.load(std::memory_order_relaxed); p = p->base.m_patch.get())
        run.push_back(p);
    for (auto it = run.rbegin(); it != run.rend(); ++it) {
        Patch &p = **it;
        const std::span<const std::uint8_t> base = p.base.Bytes(); // composed already, or no patch
        p.bytes.assign(base.begin(), base.end());
        const std::uint8_t *from = p.pixels.get();
        for (const Patch::Span &span : p.spans) {
            const std::size_t row = std::size_t(p.height - 1 - span.y);
            std::memcpy(p.bytes.data() + 40 + row * p.stride + std::size_t(span.x) * 3, from, std::size_t(span.n) * 3);
            from += std::size_t(span.n) * 3;
        }
        p.spans = {};
        p.pixels.reset();
        p.composed.store(true, std::memory_order_release);
        p.base = PackedDib();
    }
}

std::size_t PackedDib::Size() const
{
    return m_patch ? m_patch->size : m_owner ? m_viewSize : m_bytes.size();
}

std::span<const std::uint8_t> PackedDib::Bytes() const
{
    if (m_owner)
        return {m_view, m_viewSize};
    if (!m_patch)
        return m_bytes;
    if (!m_patch->composed.load(std::memory_order_acquire))
        Compose(m_patch.get());
    return m_patch->bytes;
}

std::vector<std::uint8_t> &PackedDib::MutableBytes()
{
    if (m_patch || m_owner) {
        const std::span<const std::uint8_t> bytes = Bytes();
        m_bytes.assign(bytes.begin(), bytes.end());
        m_patch.reset();
        m_owner.reset();
        m_view = nullptr;
        m_viewSize = 0;
    }
    return m_bytes;
}

bool PackedDib::IsComposed() const
{
    return !m_patch || m_patch->composed.load(std::memory_order_acquire);
}

bool PackedDib::operator==(const PackedDib &o) const
{
    return Size() == o.Size() && (Size() == 0 || std::memcmp(Data(), o.Data(), Size()) == 0);
}
