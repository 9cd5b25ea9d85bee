#include "document/BannerFrame.h"

#include "platform/imaging/ImagingControl.h"

#include <QPainter>
#include <algorithm>

std::unique_ptr<PackedDib> OwnedBlock(PackedDib dib)
{
    if (dib.IsEmpty())
        return nullptr;
    return std::make_unique<PackedDib>(std::move(dib));
}

CBannerFrame::CBannerFrame(std::unique_ptr<PackedDib> background, COLORREF crBackground, std::uint32_t delay)
    : m_hBackground(std::move(background)), m_crBackground(crBackground), m_nDelay(delay)
{
}

CBannerFrame::~CBannerFrame() = default;

void CBannerFrame::SetBackground(std::unique_ptr<PackedDib> block)
{
    m_hBackground = std::move(block);
}

std::unique_ptr<CBannerFrame> CBannerFrame::Clone() const
{
    auto copy = std::make_unique<CBannerFrame>(nullptr, m_crBackground, m_nDelay);
    for (const auto &item : m_items)
        copy->m_items.push_back(item->Clone());
    if (m_hBackground)
        copy->m_hBackground = std::make_unique<PackedDib>(*m_hBackground);
    return copy;
}

CSpriteList::iterator CBannerFrame::Find(const CSprite *item)
{
    return std::find_if(m_items.begin(), m_items.end(), [item](const auto &p) { return p.get() == item; });
}

CSpriteList::const_iterator CBannerFrame::Find(const CSprite *item) const
{
    return std::find_if(m_items.begin(), m_items.end(), [item](const auto &p) { return p.get() == item; });
}

bool CBannerFrame::Contains(const CSprite *item) const
{
    return item && Find(item) != m_items.end();
}

CSprite *CBannerFrame::ObjectAt(CPoint point) const
{
    const CRect probe(point.x, point.y, point.x + 1, point.y + 1);
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        if ((*it)->Intersects(probe))
            return it->get();
    }
    return nullptr;
}

CSprite *CBannerFrame::AddItem(std::unique_ptr<CSprite> item)
{
    if (!item)
        return nullptr;
    m_items.push_back(std::move(item));
    return m_items.back().get();
}

void CBannerFrame::AddItems(std::vector<std::unique_ptr<CSprite>> items)
{
    for (auto &item : items)
        AddItem(std::move(item));
}

bool CBannerFrame::RemoveItem(const CSprite *item)
{
    const auto it = Find(item);
    if (it == m_items.end())
        return false;
    m_items.erase(it);
    return true;
}

CSprite *CBannerFrame::ReplaceItem(const CSprite *item, std::unique_ptr<CSprite> with)
{
    const auto it = Find(item);
    if (it == m_items.end() || !with)
        return nullptr;
    *it = std::move(with);
    return it->get();
}

void CBannerFrame::MoveToFront(const CSprite *item)
{
    const auto it = Find(item);
    if (it != m_items.end())
        m_items.splice(m_items.end(), m_items, it);
}

void CBannerFrame::MoveToBack(const CSprite *item)
{
    const auto it = Find(item);
    if (it != m_items.end())
        m_items.splice(m_items.begin(), m_items, it);
}

void CBannerFrame::MoveForward(const CSprite *item)
{
    const auto it = Find(item);
    if (it == m_items.end())
        return;
    const auto next = std::next(it);
    if (next != m_items.end())
        std::iter_swap(it, next);
}

void CBannerFrame::MoveBackward(const CSprite *item)
{
    const auto it = Find(item);
    if (it == m_items.end() || it == m_items.begin())
        return;
    std::iter_swap(it, std::prev(it));
}

void CBannerFrame::RenderInto(ImagingControl &ctrl) const
{
    // Frames render at the size the control has, the banner's: a background picture of another
    // size is cut or filled out with the frame's colour, so it never changes the size the frames
    // after it render at.
    const QSize size(int(ctrl.BitmapWidth()), int(ctrl.BitmapHeight()));
    bool filled = false;
    if (m_hBackground) {
        filled = ctrl.SetFromDIB(*m_hBackground) == 0 && ctrl.HasBitmap();
        // A block the control cannot read must not leave the previous frame's picture showing:
        // the frame shows its colour.
        if (!filled && !size.isEmpty())
            ctrl.CreateBitmap(size.width(), size.height(), 24);
    }
    if (filled && !size.isEmpty()) {
        QImage *picture = ctrl.GetBitmapDC();
        if (picture && picture->size() != size) {
            QImage fitted(size, QImage::Format_RGB32);
            fitted.fill(ColorrefToQRgb(m_crBackground));
            QPainter(&fitted).drawImage(0, 0, *picture);
            *picture = fitted;
        }
        ctrl.ReleaseBitmapDC();
    }
    if (!filled)
        ctrl.FillColor(m_crBackground);
    ctrl.SetPageDelay(m_nDelay);
    for (const auto &item : m_items)
        item->Draw(ctrl);
}
