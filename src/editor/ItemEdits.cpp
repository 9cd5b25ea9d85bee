#include "editor/ItemEdits.h"

#include "document/BannerDoc.h"
#include "document/BannerFrame.h"
#include "editor/CFrameView.h"
#include "items/Sprite.h"

#include <QString>

namespace {
// "Move item", "Copy 3 items": the name of a step on `count` items.
QString StepText(const char *verb, std::size_t count)
{
    return count == 1 ? QStringLiteral("%1 item").arg(QLatin1String(verb))
                      : QStringLiteral("%1 %2 items").arg(QLatin1String(verb)).arg(count);
}

// The view's selection becomes `items`; their areas are repainted, the document is modified and
// the change becomes the step `verb`.
void Finish(CFrameView &view, std::vector<CSprite *> items, const char *verb)
{
    const std::size_t count = items.size();
    const bool changed = !items.empty();
    view.SetSelection(std::move(items));
    view.InvalidateItems();
    // The selection went away during the drag (another frame shown, say): nothing was placed.
    if (!changed)
        return;
    view.GetDocument().SetModifiedFlag();
    view.GetDocument().UpdateAllViews(&view, hintItemsChanged);
    view.GetDocument().History().Record(StepText(verb, count));
}

void Place(CFrameView &view, std::unique_ptr<CSprite> item, bool open, const QString &step)
{
    CBannerFrame *frame = view.ShownFrameObject();
    if (!frame || !item)
        return;
    CSprite *placed = frame->AddItem(std::move(item));
    view.Select(placed, false);
    if (open)
        placed->OnOpen();
    view.InvalidateItem(placed);
    view.GetDocument().UpdateAllViews(&view, hintItemsChanged, placed);
    view.GetDocument().SetModifiedFlag();
    // After the editor a created item opens, so that its first properties are part of the step.
    view.GetDocument().History().Record(step);
}
} // namespace

namespace ItemEdits {

void ReplaceByCopies(CFrameView &view, std::vector<std::unique_ptr<CSprite>> copies, bool resized)
{
    CBannerFrame *frame = view.ShownFrameObject();
    if (!frame)
        return;
    view.InvalidateItems();
    const std::vector<CSprite *> old = view.Selection();
    // The selection must never refer to the items about to be deleted.
    view.SetSelection({});
    std::vector<CSprite *> placed;
    for (std::size_t i = 0; i < copies.size() && i < old.size(); ++i)
        if (CSprite *copy = frame->ReplaceItem(old[i], std::move(copies[i])))
            placed.push_back(copy);
    Finish(view, std::move(placed), resized ? "Resize" : "Move");
}

void AddCopies(CFrameView &view, std::vector<std::unique_ptr<CSprite>> copies)
{
    CBannerFrame *frame = view.ShownFrameObject();
    if (!frame)
        return;
    std::vector<CSprite *> placed;
    for (const auto &copy : copies)
        placed.push_back(copy.get());
    frame->AddItems(std::move(copies));
    view.InvalidateItems();
    Finish(view, std::move(placed), "Copy");
}

void PlaceCreatedItem(CFrameView &view, std::unique_ptr<CSprite> item)
{
    Place(view, std::move(item), true, QStringLiteral("Create item"));
}

void PlaceStroke(CFrameView &view, std::unique_ptr<CSprite> stroke)
{
    Place(view, std::move(stroke), false, QStringLiteral("Draw"));
}

bool EditItem(CFrameView &view, CSprite *item)
{
    if (!item || !item->EditProperties())
        return false;
    view.OnUpdate(nullptr, hintItemChanged, item);
    view.GetDocument().UpdateAllViews(&view, hintItemChanged, item);
    // The item may have changed: without this, closing would not offer to save it.
    view.GetDocument().SetModifiedFlag();
    view.GetDocument().History().Record(QStringLiteral("Edit Properties"));
    return true;
}

} // namespace ItemEdits
