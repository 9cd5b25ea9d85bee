#pragma once
// Colour bookkeeping of the GIF export: how many and which 24-bit colours the pages use, and making
// room for the transparent colour in pages that have too many colours.
#include "platform/Colorref.h"
#include "platform/imaging/ColorQuant.h"

#include <QImage>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace GifColours {

// The colours of a run of pages of one size, counted page after page: each page is compared with
// the one before, and only the pixels that changed update the count of pixels per colour. Keeps
// every colour any page used, so that a colour no page uses can be found.
class PageColours {
public:
    PageColours();
    // Counts the next page (alpha ignored); returns how many distinct colours it has.
    int Next(const QImage &page);
    bool Has(COLORREF colour) const;
    // True when some colour used agrees with `colour` in the top five bits of all three channels.
    bool HasNear(COLORREF colour) const;
    // The first colour (in COLORREF order) that no page used; none when all were.
    std::optional<COLORREF> FirstUnused() const;
    int Count() const { return int(m_colours.size()); }
    // Counts a colour as used without a page having it.
    void Include(QRgb rgb) { Slot(rgb & 0xFFFFFFu); }
    // After the last page: every colour that pages counted elsewhere used counts as used here.
    void Append(const PageColours &later);

private:
    int Slot(std::uint32_t rgb);
    void Add(std::uint32_t rgb, int pixels);
    void Remove(std::uint32_t rgb);

    ColorQuant::ColorIndex m_slots;       // colour -> index into m_colours and m_pixels
    std::vector<std::uint32_t> m_colours; // every colour used so far
    std::vector<int> m_pixels;            // pixels of the current page per colour
    std::vector<std::uint64_t> m_near;    // one bit per box of the top five bits of each channel
    int m_distinct = 0;                   // colours with pixels on the current page
    QImage m_previous;
};

// How many colours a picture has (alpha ignored), counted up to limit + 1, and whether it has
// more than `limit`: both stop as soon as they know, so a photograph costs a few hundred pixels.
int CountColoursUpTo(const QImage &image, int limit);
bool MoreColoursThan(const QImage &image, int limit);
// The same for pages that come one after another: the rows in which the page before met new
// colours first, so that a page of many colours shows them soon (the answer is the same in any
// order).
class ColourCheck {
public:
    bool MoreColoursThan(const QImage &image, int limit);

private:
    std::vector<int> m_rows;       // the order to look at rows in
    std::vector<int> m_newColours; // per row, colours met first there
};

// Maps the pages of an animation that have more than maxColours colours to one palette of at
// most maxColours colours that they all share, in two walks over those pages in order, so that
// they need not all be held. Without dithering a pixel's colour alone decides its entry, so
// pixels equal before stay equal after; with dithering the first page is dithered whole and
// each later one within the rectangle in which it differs from the one before, so the rest
// stays as on the page before and frame differencing still leaves it out.
// Either walk can be split into two runs of pages, the later run on another thread: surveys are
// appended in order, and without dithering the second walk's runs are independent.
class CrowdedPages {
public:
    CrowdedPages(int maxColours, bool dither);
    ~CrowdedPages();
    CrowdedPages(CrowdedPages &&) noexcept;
    CrowdedPages &operator=(CrowdedPages &&) noexcept;

    // First walk, every crowded page in order: the palette is chosen from the colours of the
    // first and of each later page's pixels that differ from the page before.
    void Survey(const QImage &page);
    bool Surveyed() const { return !m_previous.isNull(); }
    // A survey of the pages after this one's: its first page is kept aside until it is appended.
    CrowdedPages Continuation() const;
    // Appends a continuation that surveyed the next pages: as if they had been surveyed here.
    void Append(CrowdedPages &&later);
    // Between the walks: chooses the palette; false when the pages cannot be reduced.
    bool Choose();

    // The state of the second walk over a run of pages.
    struct Run {
        QImage previous; // the page before, as it came
        QImage reduced;  // the page before, reduced
        // The colours of the page reduced last, counted as the pages are: for each pixel the
        // first entry of its colour, the pixels per entry, and the entries any page had.
        std::vector<uchar> colourAt;
        std::vector<int> pixels = std::vector<int>(256, 0);
        std::vector<bool> used = std::vector<bool>(256, false);
        int distinct = 0;
        // A run on another thread looks colours up through a cache of its own.
        std::unique_ptr<ColorQuant::Histogram::Cache> cache;
    };
    // Second walk, the same pages in the same order: each one reduced (Format_RGB32), or a null
    // image when it cannot be; run.distinct then counts its colours. The picture of the page
    // before is reused for it once the caller let go of that. Without dithering a run may start
    // at any page, so later pages can be reduced in a run of their own on another thread.
    QImage Reduce(const QImage &page, Run &run) const;
    bool Dithered() const { return m_dithered != nullptr; }
    // After the second walk: every colour a reduced page of the run had.
    std::vector<QRgb> UsedColours(const Run &run) const;

private:
    int m_maxColours;
    bool m_dither;
    bool m_failed = false;
    bool m_continuation = false;
    ColorQuant::Histogram m_histogram;
    QVector<QRgb> m_palette;
    std::vector<uchar> m_entries;                         // histogram slot -> palette entry
    std::vector<uchar> m_colourOf;                        // palette entry -> first entry of its colour
    std::unique_ptr<ColorQuant::DitheredMapping> m_dithered; // valid only when dithering
    QImage m_first;                                       // a continuation's first page
    QImage m_previous;                                    // the page before, as it came
};

// What the GIF export decides about colours, over one or two walks through the pages in order:
// which pages have too many colours to leave room for the transparent colour (those are mapped
// to one palette they share, see CrowdedPages), and a colour no page uses for the transparent
// pixels. A photographic first page shows after a few hundred pixels that pages have too many
// colours; then each page is only tested for it.
// Either walk can be split into two runs of pages in order, the later one on another thread
// (see Continuation and WrittenRun): appended, they decide exactly what one walk would have.
class ExportColours {
public:
    explicit ExportColours(bool dither);

    // First walk: every page in order. True while no page so far needs reducing: the page is
    // then final as it is, and the first walk is the only one unless a later page turns it.
    bool Survey(const QImage &page);
    // After the first page: a survey of the pages after this one's, appended with Append.
    ExportColours Continuation() const;
    void Append(ExportColours &&later);
    // After the first walk: whether the pages need reducing and so come again.
    bool Reducing() const { return m_most > m_maxColours; }
    // Between the walks: false when the pages cannot be reduced.
    bool Choose();
    // Whether the second walk may be split into runs (pages are reduced one by one).
    bool SecondWalkSplits() const { return !m_crowdedPages.Dithered(); }

    // The state of the second walk over a run of pages.
    struct WrittenRun {
        int most = 0;        // colours on one page at most, as written
        PageColours written; // every colour of the pages as written
        CrowdedPages::Run crowded;
    };
    // Second walk: page k as it is written; a null image when it cannot be reduced.
    QImage Reduce(int k, const QImage &page);
    // The same for a run of later pages of its own, on another thread, appended with Append.
    QImage Reduce(int k, const QImage &page, WrittenRun &run) const;
    void Append(WrittenRun &&later);
    // After the last walk: a colour no page written uses, preferably one far from all of them,
    // and its palette index, the largest number of colours on one page; index -1 when there is
    // no such colour (or the pages could not be reduced).
    COLORREF TransparentColour(int *index) const;

private:
    static constexpr int m_maxColours = 255; // one entry stays for the transparent colour
    bool m_decided = false;           // whether the first page decided m_photo
    bool m_photo = false;
    ColourCheck m_check;              // for pages counted only up to too many
    int m_most = 0;                   // colours on one page at most, as surveyed
    PageColours m_surveyed;           // every colour of the pages as they came
    std::vector<bool> m_crowded;      // by page
    CrowdedPages m_crowdedPages;
    bool m_chosen = false;
    WrittenRun m_run;                 // the second walk's first run, with any later ones appended
};

} // namespace GifColours
