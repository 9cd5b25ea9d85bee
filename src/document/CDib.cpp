#include "document/CDib.h"

#include <QFile>
#include <QPainter>

namespace {
constexpr int kFileHeaderSize = 14; // "BM", file size, two reserved words, pixel offset

QRect ToQRect(const CRect &r)
{
    return QRect(r.left, r.top, r.Width(), r.Height());
}
} // namespace

DibPalette DibPalette::Halftone()
{
    DibPalette palette;
    palette.halftone = true;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                palette.entries.push_back(qRgb(r * 51, g * 51, b * 51));
    return palette;
}

bool CDib::LoadFromResource(unsigned id)
{
    QFile file(QStringLiteral(":/bitmaps/%1.bmp").arg(id));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.size() <= kFileHeaderSize || !bytes.startsWith("BM"))
        return false;
    return Attach(PackedDib::FromByteArray(bytes.mid(kFileHeaderSize)));
}

bool CDib::Attach(const PackedDib &block)
{
    Release();
    DibFormat format;
    QImage image = Dib::Decode(block, nullptr, &format);
    if (image.isNull())
        return false;
    m_image = std::move(image);
    m_description.width = m_image.width();
    m_description.height = m_image.height();
    m_description.widthBytes = ((m_image.width() * format.bitsPerPixel + 31) / 32) * 4;
    m_description.planes = 1;
    m_description.bitsPixel = std::uint16_t(format.bitsPerPixel);
    // Only pictures of 8 bits or less have a colour table of their own.
    if (format.bitsPerPixel <= 8)
        m_colorTable = format.colorTable.mid(0, 256);
    if (m_colorTable.isEmpty())
        m_palette = DibPalette::Halftone();
    else
        m_palette.entries = m_colorTable;
    return true;
}

void CDib::Release()
{
    m_image = QImage();
    m_description = DibDescription();
    m_palette = DibPalette();
    m_colorTable.clear();
}

QSize CDib::GetSize() const
{
    return QSize(m_description.width, m_description.height);
}

int CDib::GetColorTable(QRgb *entries, int maximum) const
{
    for (int i = 0; entries && i < maximum && i < m_colorTable.size(); ++i)
        entries[i] = m_colorTable[i];
    return int(m_colorTable.size());
}

bool CDib::Draw(QPainter &painter, const CRect *destination, const CRect *source, bool useDrawDib,
                const DibPalette *, bool) const
{
    if (IsEmpty())
        return false;
    // The painter's surface is true colour: realising a palette changes no pixel.
    if (!useDrawDib)
        return DrawBitmap(painter, *this, destination, source);
    const CRect src = source ? *source : CRect(0, 0, -1, -1);
    const CRect dst = destination ? *destination : src;
    // A -1 extent stands for the bitmap's own size.
    auto extent = [](std::int32_t span, int own) { return span == -1 ? own : span; };
    const int sw = extent(src.Width(), m_image.width()), sh = extent(src.Height(), m_image.height());
    const QRect from(src.left, src.top, sw, sh);
    const QRect to(dst.left, dst.top, extent(dst.Width(), sw), extent(dst.Height(), sh));
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(to, m_image, from);
    painter.restore();
    return true;
}

bool CDib::DrawBitmap(QPainter &painter, const CDib &dib, const CRect *destination, const CRect *source)
{
    if (dib.IsEmpty())
        return false;
    const QRect from = source ? ToQRect(*source) : dib.m_image.rect();
    const QRect to = destination ? ToQRect(*destination) : from;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (to.size() == from.size())
        painter.drawImage(to.topLeft(), dib.m_image, from);
    else
        painter.drawImage(to, dib.m_image, from);
    painter.restore();
    return true;
}
