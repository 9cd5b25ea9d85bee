#pragma once
// Colour bookkeeping of the GIF export: how many and which 24-bit colours the pages use, and making
// room for the transparent colour in pages that have too many colours.
#include "platform/Colorref.h"
#include "platform/imaging/ColorQuant.h"

#include <QImage>
#include <cstdint>
#include <optional>
#include <vector>

class ImagingControl;

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

// Whether a picture has more than `limit` colours (alpha ignored); stops as soon as it knows, so a
// photograph costs a few hundred pixels.
bool MoreColoursThan(const QImage &image, int limit);

// Maps every page of the control's page list with more than maxColours colours to one palette of
// at most maxColours colours shared by all such pages. Without dithering a pixel's colour alone
// decides its entry, so pixels equal before stay equal after; with the control's ColorDithering
// on, the first such page is dithered whole and each later one within the rectangle in which it
// differs from the one before. Pages with fewer colours are left exactly as they are. `colours`
// holds each page's number of colours when the caller counted them already. Returns the pages it
// reduced. Leaves the last page selected.
std::vector<int> ReduceCrowdedPages(ImagingControl &control, int maxColours, const std::vector<int> &colours = {});

} // namespace GifColours
