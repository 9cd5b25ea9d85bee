#pragma once
// Colour bookkeeping of the GIF export: which 24-bit colours the pages use, and making room for
// the transparent colour in pages that have too many colours.
#include "platform/Colorref.h"

#include <QImage>
#include <cstdint>
#include <optional>
#include <vector>

class ImagingControl;

namespace GifColours {

// A set of 24-bit colours, one bit per colour (2 MiB), so that adding a banner's worth of pixels
// costs a few nanoseconds a pixel.
class ColourSet {
public:
    ColourSet();
    // Adds the picture's colours (alpha ignored); returns how many distinct colours the picture has.
    int AddImage(const QImage &image);
    // Adds the colours of the pixels in which the picture differs from `previous`, whose colours
    // are in the set already: consecutive banner pages mostly agree.
    void AddChanged(const QImage &image, const QImage &previous);
    bool Has(COLORREF colour) const;
    // True when some colour of the set agrees with `colour` in the top five bits of all three channels.
    bool HasNear(COLORREF colour) const;
    // The first colour (in COLORREF order) that is not in the set; none when all are.
    std::optional<COLORREF> FirstUnused() const;
    int Count() const { return m_count; }

private:
    bool TestAndSet(std::uint32_t rgb);
    std::vector<std::uint64_t> m_bits;
    std::vector<std::uint64_t> m_page; // scratch: the colours of the picture being added
    int m_count = 0;
};

// Maps every page of the control's page list with more than maxColours colours to one palette of
// at most maxColours colours shared by all such pages, without dithering, so that pixels equal
// before stay equal after. Pages with fewer colours are left exactly as they are. Returns the
// pages it reduced. Leaves the last page selected.
std::vector<int> ReduceCrowdedPages(ImagingControl &control, int maxColours);

} // namespace GifColours
