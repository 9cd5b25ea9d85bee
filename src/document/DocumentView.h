#pragma once
// How a document tells its views what changed: numbered update hints, optionally with the item
// concerned. The view that caused a change may pass itself as the sender and is then not told.
class CSprite;

enum UpdateHint : long {
    hintNone = 0,         // repaint everything
    hintItemChanged = 1,  // one item changed (sent by the Banner View and the tools)
    hintItemsChanged = 2, // several items changed
    hintFrameRemoved = 4, // a frame was removed (Delete or Cut frame)
    hintFrameAdded = 6,   // a frame was added (Add frame)
    hintFrameChanged = 7, // the current frame was replaced or its background changed
    hintCurrentFrame = 8, // the current frame index changed, or all frames were replaced
    hintFrameDelay = 9,   // the current frame's delay changed
};

// The view kinds a document can have.
enum class ViewKind { BannerView, FramesView };

class DocumentView {
public:
    virtual ~DocumentView() = default;
    virtual ViewKind Kind() const = 0;
    virtual void OnUpdate(DocumentView *sender, long hint, CSprite *item) = 0;
};
