#pragma once
// GIF bytes <-> indexed pages, in memory: giflib reads and writes the container, our own LZW coder
// (GifLzw) the image data. No composition happens here: pages come back exactly as stored (own
// size, offset, palette, disposal), and the caller composes them.
//
// Reading is record by record with our own limits checked before anything is allocated, so a
// hostile or damaged file yields an error code, never a huge allocation or a crash.
#include <QByteArray>
#include <QImage>
#include <QVector>
#include <vector>

namespace GifCodec {

struct Page {
    // Format_Indexed8 at the page's own size. colorTable() is the palette this page uses (its local
    // one, else the global one), with every entry opaque; the transparent entry is named by
    // transparentIndex, not by alpha. On read every pixel indexes colorTable(): a damaged file whose
    // pixels point past its palette gets the table padded with opaque black, as decoders show them.
    QImage image;
    int left = 0, top = 0;       // offset on the logical screen
    int delayMs = 0;             // centiseconds * 10 on read; on write see Centiseconds (max 655350 ms)
    int disposal = 0;            // 0..3
    int transparentIndex = -1;
    bool interlaced = false;
    bool localPalette = false;   // read: page had a local palette; write: force a local palette
};

struct Animation {
    int width = 0, height = 0;   // logical screen
    QVector<QRgb> globalPalette; // may be empty
    int backgroundIndex = -1;    // -1: none (read: only when there is no global palette; written as 0)
    int loopCount = -1;          // -1: no NETSCAPE2.0 block; 0: loop forever; n: n repeats
    std::vector<Page> pages;
    int lossyError = 0;          // write: 0 exact, else the largest channel difference a code may absorb
    // Read only: Ok, or why reading stopped early (ErrTruncated) after the pages kept.
    int damage = 0;
};

// The numbers are those of ImagingResult. ErrBudget: the kept pixels exceed what the caller allows.
enum Result { Ok = 0, ErrOpen = 1, ErrNotGif = 2, ErrTruncated = 3, ErrTooLarge = 4, ErrNoPages = 5, ErrWrite = 6, ErrNoMemory = 7, ErrBudget = 10 };

// Limits applied before allocating: per side, per page, and summed over all decoded pages.
constexpr int kMaxSide = 16384;
constexpr qint64 kMaxPagePixels = 64ll * 1024 * 1024;
constexpr qint64 kMaxTotalPixels = 1024ll * 1024 * 1024;
constexpr int kMaxDelayMs = 655350;

// Header and logical screen only. ErrTooLarge still reports the claimed size.
int ReadInfo(const QByteArray &bytes, int *width, int *height);
// All pages, or only page onlyPage (ErrNoPages when the file has fewer). On error *out is left empty.
// *pageBytes, when given, receives each page's share of the file: its bytes from the end of the
// page before (of the colour tables, for the first) to the end of its image data.
// A file that ends where a record would start (a lost trailer) reads completely; one cut inside a
// record keeps the complete pages before it and says so in `damage`. With clipToScreen each page
// keeps only its part on the logical screen (a page wholly outside it has a null image; a screen
// of no size keeps whole pages), so
// memory follows the screen's size whatever sizes the pages claim.
// Reading stops with ErrBudget, before allocating, once the kept pixels would exceed maxKeptPixels.
int Read(const QByteArray &bytes, Animation *out, int onlyPage = -1, std::vector<int> *pageBytes = nullptr,
         bool clipToScreen = false, qint64 maxKeptPixels = kMaxTotalPixels);
// GIF89a with a graphic control extension per page. ErrWrite for pages that cannot be written
// (not Indexed8, no palette at all, palette over 256 entries, size or offset beyond 65535).
// *pageBytes, when given, receives each page's bytes in the file (control block to end of data).
int Write(const Animation &animation, QByteArray *out, std::vector<int> *pageBytes = nullptr);

// The delays written, in centiseconds: each page gets the running time up to its end rounded to
// centiseconds, less what the pages before it got, so the total stays within 5 ms of the sum.
std::vector<int> Centiseconds(const std::vector<Page> &pages);

// Bits per pixel that hold a palette of `colors` entries (1..8).
int BitsForColors(int colors);

} // namespace GifCodec
