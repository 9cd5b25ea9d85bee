#pragma once
// Every change the mouse tools make to a document, one function per kind, so that each can be
// taken as one step of an edit history. Each marks the document modified, fixes the view's
// selection and tells the other views (hint 2, or hint 1 for an edited item).
#include <memory>
#include <vector>

class CFrameView;
class CSprite;

namespace ItemEdits {
// The copies take the places (same z-positions) of the selected items, paired in selection
// order, and become the selection; the items are deleted. `resized`: the copies were dragged
// by a handle rather than moved whole.
void ReplaceByCopies(CFrameView &view, std::vector<std::unique_ptr<CSprite>> copies, bool resized = false);
// The copies go in front of every item and become the selection; the selected items stay.
void AddCopies(CFrameView &view, std::vector<std::unique_ptr<CSprite>> copies);
// A new item spanned by a creation tool goes in front, alone selected, and opens its editor.
void PlaceCreatedItem(CFrameView &view, std::unique_ptr<CSprite> item);
// A recorded freehand stroke goes in front, alone selected.
void PlaceStroke(CFrameView &view, std::unique_ptr<CSprite> stroke);
// Lets the user edit the item; true (the item redrawn everywhere, the document modified) when
// the user confirmed.
bool EditItem(CFrameView &view, CSprite *item);
}
