#include "editor/CItemTool.h"

#include "editor/CCreateTool.h"
#include "editor/CFrameView.h"
#include "editor/CSelectTool.h"
#include "items/Polyline.h"
#include "items/PrimitiveGraphics.h"
#include "items/Stamp.h"
#include "items/Text.h"

#include <algorithm>

CItemTool::CItemTool(int kind, std::unique_ptr<CSprite> prototype)
    : m_kind(kind), m_prototype(std::move(prototype))
{
}

CItemTool::~CItemTool() = default;

void CItemTool::OnButtonDown(CFrameView &view, int shift, QPoint point)
{
    DragState &drag = ItemTools::Instance().Drag();
    drag.shift = shift;
    drag.pressPoint = drag.lastPoint = point;
    drag.buttonDown = true;
    drag.view = &view;
}

void CItemTool::OnDoubleClick(CFrameView &, int, QPoint) {}

void CItemTool::OnButtonUp(CFrameView &, int, QPoint)
{
    ItemTools &tools = ItemTools::Instance();
    tools.Drag().buttonDown = false;
    if (tools.Current() && tools.Current()->Kind() == kCreate)
        tools.Choose(kSelect, nullptr);
}

void CItemTool::OnMouseMove(CFrameView &view, int, QPoint point)
{
    ItemTools::Instance().Drag().lastPoint = point;
    view.Control().SetMouseCursor(CSprite::kCursorArrow);
}

// ---- the tool list ---------------------------------------------------------------------------

ItemTools &ItemTools::Instance()
{
    static ItemTools tools;
    return tools;
}

template <class Tool> Tool *ItemTools::Register(std::unique_ptr<Tool> tool)
{
    Tool *raw = tool.get();
    m_list.push_back(raw);
    m_owned.push_back(std::move(tool));
    return raw;
}

ItemTools::ItemTools()
{
    m_select = Register(std::make_unique<CSelectTool>());
    m_text = Register(std::make_unique<CCreateTool>(std::make_unique<CText>()));
    m_shape = Register(std::make_unique<CCreateTool>(std::make_unique<CPrimitiveGraphics>()));
    m_image = Register(std::make_unique<CCreateTool>(std::make_unique<CStamp>()));
    m_freehand = Register(std::make_unique<CFreehandTool>());
    m_current = m_select;
}

ItemTools::~ItemTools() = default;

bool ItemTools::Choose(int kind, const CSprite *prototype)
{
    const auto it = std::find_if(m_list.begin(), m_list.end(), [&](const CItemTool *tool) {
        return tool->Kind() == kind && tool->Prototype() == prototype;
    });
    if (it == m_list.end())
        return false;
    m_current = *it;
    return true;
}

void ItemTools::AbandonDrag()
{
    m_drag.DragList.clear();
    m_drag.mode = DragState::Mode::None;
    m_drag.buttonDown = false;
    if (m_current->Kind() == CItemTool::kCreate)
        m_current = m_select;
}

void ItemTools::RedrawFeedback(CFrameView &view)
{
    if (!m_drag.buttonDown || m_drag.view != &view)
        return;
    if (m_drag.mode == DragState::Mode::NetSelection) {
        CSelectTool::DrawNetRect(view, m_drag.pressPoint, m_drag.lastPoint);
        return;
    }
    // A stroke being recorded shows all of its segments; working copies their handle's outline.
    const int handle = m_drag.mode == DragState::Mode::MoveResize ? m_drag.activeHandle : -1;
    for (const auto &copy : m_drag.DragList)
        copy->DrawInverted(view.Control(), handle);
}

CPrimitiveGraphics &ItemTools::ShapePrototype() const
{
    return static_cast<CPrimitiveGraphics &>(*m_shape->Prototype());
}
