#pragma once
// CBannerFrame: one frame of a banner. It owns its background block (a packed 24-bit DIB, or none),
// its background colour, its display time and its items, back (head, drawn first) to front (tail).
// A block or an item passes to another owner as a copy, never shared.
#include "items/Sprite.h"
#include "platform/Colorref.h"
#include "platform/imaging/PackedDib.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string_view>
#include <vector>

class ImagingControl;

// A block from the imaging control as an owned block; an empty one (no picture) gives none.
std::unique_ptr<PackedDib> OwnedBlock(PackedDib dib);

using CSpriteList = std::list<std::unique_ptr<CSprite>>;

class CBannerFrame {
public:
    static constexpr std::string_view kClassName = "CBannerFrame";
    static constexpr std::uint16_t kSchema = 0;

    // The document constructs frames with (none, 0x00FFFFFF, 1000) and then sets what it needs.
    CBannerFrame(std::unique_ptr<PackedDib> background = nullptr, COLORREF crBackground = 0x00FFFFFF,
                 std::uint32_t delay = 1000);
    ~CBannerFrame();
    CBannerFrame(const CBannerFrame &) = delete;
    CBannerFrame &operator=(const CBannerFrame &) = delete;

    // Frees the current block, if any, and takes the given one (none allowed).
    void SetBackground(std::unique_ptr<PackedDib> block);
    // Same colour and delay, a clone of every item in order, and a byte-for-byte copy of the
    // background block. The caller owns the copy.
    std::unique_ptr<CBannerFrame> Clone() const;
    // The frame's picture in the control's current bitmap, at its size: the background (cut or
    // filled out with the colour when its size differs) or the colour, the page delay, then every
    // item back to front.
    void RenderInto(ImagingControl &ctrl) const;

    // The front-most item whose area covers the frame pixel `point`; none when no item does.
    CSprite *ObjectAt(CPoint point) const;
    // Appends at the tail (front-most); returns the item, now owned by the frame.
    CSprite *AddItem(std::unique_ptr<CSprite> item);
    // Appends every item at the tail, in order.
    void AddItems(std::vector<std::unique_ptr<CSprite>> items);
    // Unlinks and deletes the item; false (nothing done) when it is not in this frame.
    bool RemoveItem(const CSprite *item);
    // Puts `with` in the item's place (same z-position) and deletes the item; returns `with`, now
    // owned by the frame, or none (and `with` is dropped) when the item is not in this frame.
    CSprite *ReplaceItem(const CSprite *item, std::unique_ptr<CSprite> with);
    void MoveToFront(const CSprite *item);
    void MoveToBack(const CSprite *item);
    void MoveForward(const CSprite *item);
    void MoveBackward(const CSprite *item);
    bool Contains(const CSprite *item) const;

    const CSpriteList &Items() const { return m_items; }
    bool HasBackground() const { return m_hBackground != nullptr; }

    std::unique_ptr<PackedDib> m_hBackground;
    COLORREF m_crBackground;
    std::uint32_t m_nDelay;
    CSpriteList m_items;

private:
    CSpriteList::iterator Find(const CSprite *item);
    CSpriteList::const_iterator Find(const CSprite *item) const;
};
