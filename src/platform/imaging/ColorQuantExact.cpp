// Exact colour lists: each picture's colours on a thread per core, merged in picture order.
#include "platform/imaging/ColorQuant.h"

#include "platform/Parallel.h"

#include <atomic>

namespace ColorQuant {
namespace {

// A picture's colours in the order they first appear, and its pixels as indices into that list.
struct ListedColours {
    QImage indices;
    std::vector<QRgb> colours; // RGB, top byte 0
};

// False when the picture has more than maxColors (at most 256) colours.
bool ListColours(const QImage &image, int maxColors, ListedColours *out)
{
    const QImage src = AsRgb32(image);
    QImage dst(src.size(), QImage::Format_Indexed8);
    if (dst.isNull() && !src.isNull())
        return false;
    // Sparse, so that nearly every colour is found at the first place looked at.
    ColorIndex index(4 * maxColors);
    uchar *const bits = dst.bits();
    const qsizetype stride = dst.bytesPerLine();
    const int w = src.width();
    for (int y = 0; y < src.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        uchar *line = bits + y * stride;
        for (int x = index.FindEach(row, w, line); x < w; x += index.FindEach(row + x, w - x, line + x)) {
            if (int(out->colours.size()) == maxColors)
                return false;
            index.Insert(row[x], int(out->colours.size()));
            out->colours.push_back(row[x] & 0xffffff);
        }
    }
    out->indices = std::move(dst);
    return true;
}

} // namespace

bool ListExact(const std::vector<QImage> &images, int maxColors, const QVector<QRgb> &reserved, ExactPictures *out)
{
    *out = {};
    maxColors = std::min(maxColors, 256);
    if (maxColors < 1 || reserved.size() > maxColors)
        return false;
    // Each picture's own colours first, the pictures spread over the cores; a picture with too
    // many colours of its own ends the work early.
    std::vector<ListedColours> listed(images.size());
    std::atomic<bool> tooMany{false};
    Parallel::ForEachItem(images.size(), [&](std::size_t i) {
        if (!tooMany && !ListColours(images[i], maxColors, &listed[i]))
            tooMany = true;
    });
    if (tooMany)
        return false;
    out->places.reserve(listed.size());
    out->colours.reserve(listed.size());
    for (ListedColours &one : listed) {
        out->places.push_back(std::move(one.indices));
        out->colours.push_back(std::move(one.colours));
    }
    return MergeColours(reserved, out->colours, maxColors, &out->palette, &out->entries);
}

bool MergeColours(const QVector<QRgb> &reserved, std::span<const std::vector<QRgb>> lists, int maxColors,
                  QVector<QRgb> *palette, std::vector<std::vector<uchar>> *entries)
{
    palette->clear();
    entries->clear();
    maxColors = std::min(maxColors, 256);
    if (maxColors < 1 || reserved.size() > maxColors)
        return false;
    QVector<QRgb> colors;
    ColorIndex index(maxColors);
    for (QRgb c : reserved) {
        index.Insert(c, int(colors.size()));
        colors.append(c | 0xff000000u);
    }
    std::vector<std::vector<uchar>> at(lists.size());
    for (std::size_t i = 0; i < lists.size(); ++i) {
        for (const QRgb rgb : lists[i]) {
            int entry = index.Find(rgb);
            if (entry < 0) {
                if (colors.size() >= maxColors)
                    return false;
                entry = index.Insert(rgb, int(colors.size()));
                colors.append(rgb | 0xff000000u);
            }
            at[i].push_back(uchar(entry));
        }
    }
    *palette = std::move(colors);
    *entries = std::move(at);
    return true;
}

void PlacesToEntries(QImage *places, const std::vector<uchar> &entries, const QVector<QRgb> &palette)
{
    bool same = true; // a place that is its entry already (no reserved colours, one picture)
    uchar entry[256] = {};
    for (std::size_t k = 0; k < entries.size(); ++k) {
        entry[k] = entries[k];
        same = same && entries[k] == k;
    }
    if (!same)
        MapIndices(places, entry);
    places->setColorTable(palette);
}

void MapIndices(QImage *indexed, const uchar (&lookup)[256])
{
    uchar *const bits = indexed->bits();
    const qsizetype stride = indexed->bytesPerLine();
    const int w = indexed->width();
    for (int y = 0; y < indexed->height(); ++y) {
        uchar *line = bits + y * stride;
        for (int x = 0; x < w; ++x)
            line[x] = lookup[line[x]];
    }
}

bool ReduceExact(const std::vector<QImage> &images, int maxColors, QVector<QRgb> *palette, std::vector<QImage> *out,
                 const QVector<QRgb> &reserved)
{
    palette->clear();
    out->clear();
    ExactPictures exact;
    if (!ListExact(images, maxColors, reserved, &exact))
        return false;
    Parallel::ForEachItem(exact.places.size(), [&](std::size_t i) {
        PlacesToEntries(&exact.places[i], exact.entries[i], exact.palette);
    });
    *palette = exact.palette;
    *out = std::move(exact.places);
    return true;
}

} // namespace ColorQuant
