// The mouse tools on the real Banner View, driven by mouse events: creation, selection, moving,
// resizing, copying, freehand strokes, editing by double-click, and the feedback they draw.
#include "FramesTestSupport.h"
#include "editor/CItemTool.h"
#include "items/ItemContext.h"
#include "items/Polyline.h"
#include "items/PrimitiveGraphics.h"
#include "items/Text.h"
#include "platform/imaging/ImagingWindow.h"
#include "resource.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/FrameDelayDialog.h"
#include "shell/LogoBackgroundWnd.h"
#include "ShellTestSupport.h"
#include "TestSupport.h"

#include <QScrollBar>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// Answers the item dialogs as a test tells it.
class FakeItemDialogs : public ItemDialogs {
public:
    bool EditText(CText &item) override
    {
        ++shown;
        if (!confirm)
            return false;
        item.m_text = text;
        return true;
    }
    bool EditShape(ShapeProperties &properties) override
    {
        ++shown;
        properties.lineColor = lineColor;
        return confirm;
    }
    bool confirm = true;
    QString text = QStringLiteral("Hello");
    COLORREF lineColor = 0x0000FF;
    int shown = 0;
};

// An item by value: class, geometry, colours, and what its class adds.
QString Describe(const CSprite &item)
{
    const CRect &r = item.m_position;
    QString d = QString::asprintf("%s (%d,%d,%d,%d) %06x %06x %d", item.ClassName().data(), r.left, r.top, r.right,
                                  r.bottom, item.m_lineColor, item.m_fillColor, item.m_penWidth);
    if (const auto *shape = dynamic_cast<const CPrimitiveGraphics *>(&item))
        d += QString::asprintf(" shape %d", shape->m_shape);
    if (const auto *stroke = dynamic_cast<const CPolyline *>(&item))
        for (const CPoint &p : stroke->m_points)
            d += QString::asprintf(" %d:%d", p.x, p.y);
    if (const auto *text = dynamic_cast<const CText *>(&item))
        d += QStringLiteral(" \"") + text->m_text + QLatin1Char('"');
    return d;
}

QStringList DescribeFrame(const CBannerFrame &frame)
{
    QStringList list{QString::number(frame.m_nDelay)};
    for (const auto &item : frame.Items())
        list << Describe(*item);
    return list;
}

QImage Render(const CBannerFrame &frame)
{
    ImagingControl ctrl;
    ctrl.CreateBitmap(468, 60, 24);
    ctrl.SetDrawPersistent(true);
    frame.RenderInto(ctrl);
    const QImage picture = ctrl.GetBitmapDC()->copy();
    ctrl.ReleaseBitmapDC();
    return picture;
}

class ItemToolsTest : public FramesFixture {
protected:
    void SetUp() override
    {
        FramesFixture::SetUp();
        view = banner;
        saved = ItemContext::Current().dialogs;
        ItemContext::Current().dialogs = &dialogs;
        ItemTools::Instance().Choose(CItemTool::kSelect, nullptr);
        QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        ItemContext::Current().dialogs = saved;
        FramesFixture::TearDown();
    }
    QWidget *Viewport() const { return view->Window()->viewport(); }
    CBannerDoc &Doc() const { return view->GetDocument(); }
    const CSpriteList &Items() const { return Doc().GetCurrentFrame()->Items(); }
    // Control pixels of a frame pixel at the current zoom.
    QPoint At(int x, int y) const { return view->Control().BitmapToClient(QPoint(x, y)); }
    void Press(QPoint p, Qt::KeyboardModifiers m = {}) { QTest::mousePress(Viewport(), Qt::LeftButton, m, p); }
    void Move(QPoint p) { QTest::mouseMove(Viewport(), p); }
    void Release(QPoint p, Qt::KeyboardModifiers m = {}) { QTest::mouseRelease(Viewport(), Qt::LeftButton, m, p); }
    void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers press = {}, Qt::KeyboardModifiers release = {})
    {
        Press(from, press);
        Move((from + to) / 2);
        Move(to);
        Release(to, release);
    }
    CSprite *AddRect(const CRect &r)
    {
        auto item = std::make_unique<CPrimitiveGraphics>();
        item->m_position = r;
        return Doc().GetCurrentFrame()->AddItem(std::move(item));
    }
    // What the window shows once every pending repaint ran, and what a full repaint would show:
    // equal when the tools erased all of their feedback.
    void ExpectNoFeedbackLeft()
    {
        QCoreApplication::processEvents();
        const QImage shown = view->Control().WindowSurface().copy();
        view->Window()->InvalidateAll();
        view->Window()->UpdateNow();
        EXPECT_TRUE(shown == view->Control().WindowSurface());
    }
    QRgb Pixel(QPoint p) const { return view->Control().WindowSurface().pixel(p) & 0xFFFFFF; }
    // An empty frame at this zoom, scrolled to its left edge.
    void StartOver(float zoom)
    {
        view->SetSelection({});
        while (!Items().empty())
            Doc().GetCurrentFrame()->RemoveItem(Items().front().get());
        view->Control().SetZoomPercent(zoom);
        QCoreApplication::processEvents();
        view->Window()->horizontalScrollBar()->setValue(0);
        view->Window()->InvalidateAll();
        QCoreApplication::processEvents();
    }
    void DoubleClick(QPoint p)
    {
        QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(p), Viewport()->mapToGlobal(QPointF(p)), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Viewport(), &event);
    }

    FakeItemDialogs dialogs;
    ItemDialogs *saved = nullptr;
    CFrameView *view = nullptr;
};
} // namespace

TEST_F(ItemToolsTest, EveryToolComposesABannerThatSavesAndReadsBackAsDrawn)
{
    const auto activateBannerView = [this] {
        for (QMdiSubWindow *w : frame->MdiClient()->subWindowList())
            if (qobject_cast<CChildFrame *>(w)->View() == view)
                frame->MdiClient()->setActiveSubWindow(w);
        ASSERT_EQ(frame->ActiveChildFrame()->View(), view);
    };
    const auto setDelay = [this](const char *ms) {
        auto seen = ShellTest::OnNextModal<FrameDelayDialog>([ms](FrameDelayDialog *dialog) {
            dialog->DelayEdit()->setText(QString::fromLatin1(ms));
            dialog->accept();
        });
        ASSERT_TRUE(Run(ID_FRAME_DELAY));
        EXPECT_TRUE(*seen);
    };
    EXPECT_TRUE(Checked(ID_TOOLS_SELECT));
    ASSERT_TRUE(Run(ID_TOOLS_ELLIPSE));
    EXPECT_TRUE(Checked(ID_TOOLS_ELLIPSE));
    EXPECT_FALSE(Checked(ID_TOOLS_RECTANGLE));
    ASSERT_TRUE(Run(ID_TOOLS_RECTANGLE));
    EXPECT_TRUE(Checked(ID_TOOLS_RECTANGLE));

    // While dragging, the outline of the new item is inverted on the window; the document is
    // unchanged until the release.
    Press(At(10, 10));
    Move(At(30, 20));
    Move(At(60, 40));
    EXPECT_EQ(Pixel(At(35, 10)), 0u); // top edge, inverted from white
    EXPECT_EQ(Pixel(At(35, 25)), 0xFFFFFFu);
    EXPECT_TRUE(Items().empty());
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_EQ(view->Control().MouseCursor(), int(CSprite::kCursorCross));
    Release(At(60, 40));
    ASSERT_EQ(Items().size(), 1u);
    auto *rect = dynamic_cast<CPrimitiveGraphics *>(Items().front().get());
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->m_shape, CPrimitiveGraphics::kRectangle);
    // The corner that followed the mouse is handle 1; the start stays as the second corner.
    EXPECT_EQ(rect->m_position, CRect(60, 40, 10, 10));
    EXPECT_EQ(view->Selection(), std::vector<CSprite *>{rect});
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_TRUE(Checked(ID_TOOLS_SELECT));
    ExpectNoFeedbackLeft();
    // Nothing keeps the mouse or the keys from the next window (a Save As dialog, say).
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);

    // A click without movement creates nothing, leaves no mark and still hands back.
    ASSERT_TRUE(Run(ID_TOOLS_LINE));
    Press(At(200, 50));
    Release(At(200, 50));
    EXPECT_EQ(Items().size(), 1u);
    EXPECT_TRUE(Checked(ID_TOOLS_SELECT));
    ExpectNoFeedbackLeft();

    Run(ID_TOOLS_ELLIPSE);
    Drag(At(70, 10), At(120, 50));
    // A line keeps its direction; a text item opens its dialog on creation.
    Run(ID_TOOLS_LINE);
    Drag(At(130, 50), At(180, 10));
    auto *line = dynamic_cast<CPrimitiveGraphics *>(Items().back().get());
    ASSERT_TRUE(line);
    EXPECT_EQ(line->m_shape, CPrimitiveGraphics::kLine);
    EXPECT_EQ(line->m_position, CRect(180, 10, 130, 50));
    Run(ID_TOOLS_TEXT);
    Drag(At(190, 5), At(300, 40));
    auto *text = dynamic_cast<CText *>(Items().back().get());
    ASSERT_TRUE(text);
    EXPECT_EQ(text->m_text, QStringLiteral("Hello"));
    EXPECT_EQ(dialogs.shown, 1);
    ExpectNoFeedbackLeft();
    Run(ID_TOOLS_FREEHAND);
    Press(At(310, 10));
    Move(At(330, 30));
    Move(At(350, 15));
    Release(At(350, 15));
    Drag(At(30, 20), At(35, 26));                               // moves the rectangle
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, At(95, 30)); // selects the ellipse
    Drag(At(120, 50), At(110, 45));                             // and resizes it by handle 1
    Drag(At(330, 20), At(400, 40), {}, Qt::ControlModifier);    // a moved copy of the stroke
    const QStringList frame0{
        QStringLiteral("1000"),
        QStringLiteral("CPrimitiveGraphics (65,46,15,16) 000000 ffffff 1 shape 0"),
        QStringLiteral("CPrimitiveGraphics (110,45,70,10) 000000 ffffff 1 shape 1"),
        QStringLiteral("CPrimitiveGraphics (180,10,130,50) 000000 ffffff 1 shape 2"),
        Describe(*std::next(Items().begin(), 3)->get()),
        QStringLiteral("CPolyline (310,10,350,30) 000000 ffffff 1 shape 0 310:10 330:30 350:15"),
        QStringLiteral("CPolyline (380,30,420,50) 000000 ffffff 1 shape 0 380:30 400:50 420:35")};
    ASSERT_EQ(DescribeFrame(*Doc().GetCurrentFrame()), frame0);
    EXPECT_TRUE(frame0[4].startsWith(QStringLiteral("CText (300,40,190,5)")) && frame0[4].endsWith("\"Hello\""));

    // Two more frames, each a copy of the one before with one more item and its own delay.
    ASSERT_TRUE(Run(ID_FRAME_ADD));
    activateBannerView();
    Run(ID_TOOLS_RECTANGLE);
    Drag(At(400, 5), At(460, 55));
    setDelay("250");
    ASSERT_TRUE(Run(ID_FRAME_ADD));
    activateBannerView();
    Run(ID_TOOLS_ELLIPSE);
    Drag(At(430, 20), At(450, 40));
    setDelay("700");
    ASSERT_EQ(Doc().GetFrameCount(), 3);
    ASSERT_EQ(Doc().GetCurrentFrameIndex(), 2);
    std::vector<QStringList> drawn;
    std::vector<QImage> pictures;
    for (int i = 0; i < 3; ++i) {
        drawn.push_back(DescribeFrame(*Doc().GetFrame(i)));
        pictures.push_back(Render(*Doc().GetFrame(i)));
    }
    EXPECT_EQ(drawn[1].size(), 8);
    EXPECT_EQ(drawn[1][0], QStringLiteral("250"));
    EXPECT_EQ(drawn[2].size(), 9);
    EXPECT_EQ(drawn[2][0], QStringLiteral("700"));

    const QString dir = TestSupport::NewTempDir();
    prompts.fileChoices = {Prompts::FileChoice{dir + "/composed.bnr", 1}, Prompts::FileChoice{dir + "/composed.gif", 2}};
    ASSERT_TRUE(Run(ID_FILE_SAVE_AS));
    ASSERT_TRUE(Run(ID_FILE_SAVE_AS));
    EXPECT_FALSE(Doc().IsModified());

    CBannerDoc banner(app.Context());
    ASSERT_TRUE(banner.OnOpenDocument(dir + "/composed.bnr"));
    CBannerDoc gif(app.Context());
    ASSERT_TRUE(gif.OnOpenDocument(dir + "/composed.gif"));
    ASSERT_EQ(banner.GetFrameCount(), 3);
    ASSERT_EQ(gif.GetFrameCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(DescribeFrame(*banner.GetFrame(i)), drawn[std::size_t(i)]) << i;
        EXPECT_TRUE(Render(*banner.GetFrame(i)) == pictures[std::size_t(i)]) << i;
        EXPECT_EQ(gif.GetFrame(i)->m_nDelay, banner.GetFrame(i)->m_nDelay);
        EXPECT_TRUE(Render(*gif.GetFrame(i)) == pictures[std::size_t(i)]) << i;
    }
}

TEST_F(ItemToolsTest, ClicksNetsAndDoubleClicksSelectAndEditAndPlaybackOrAPastedFrameEndWhatTheyHeld)
{
    CSprite *a = AddRect({10, 10, 40, 30});
    CSprite *b = AddRect({50, 10, 90, 30});
    AddRect({100, 10, 140, 30});
    Press(At(20, 20));
    // The press selects; the release replaces the item by an equal copy in its place.
    EXPECT_EQ(view->Selection(), std::vector<CSprite *>{a});
    Release(At(20, 20));
    ASSERT_EQ(Items().size(), 3u);
    CSprite *a2 = Items().front().get();
    EXPECT_EQ(a2->m_position, CRect(10, 10, 40, 30));
    EXPECT_EQ(std::next(Items().begin())->get(), b);
    EXPECT_EQ(view->Selection(), std::vector<CSprite *>{a2});
    EXPECT_TRUE(Doc().IsModified());

    // Shift adds, Shift on a selected item removes.
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::ShiftModifier, At(120, 20));
    ASSERT_EQ(view->Selection().size(), 2u);
    EXPECT_EQ(view->Selection()[1]->m_position, CRect(100, 10, 140, 30));
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::ShiftModifier, At(20, 20));
    ASSERT_EQ(view->Selection().size(), 1u);
    EXPECT_EQ(view->Selection()[0]->m_position, CRect(100, 10, 140, 30));

    // A net from lower right to upper left selects what it touches; with Shift it adds.
    Drag(At(95, 35), At(45, 2));
    ASSERT_EQ(view->Selection().size(), 1u);
    EXPECT_EQ(view->Selection()[0], b);
    ExpectNoFeedbackLeft();
    Drag(At(5, 5), At(15, 15), Qt::ShiftModifier);
    ASSERT_EQ(view->Selection().size(), 2u);
    EXPECT_EQ(view->Selection()[1]->m_position, CRect(10, 10, 40, 30));
    // A net on empty ground without Shift empties the selection.
    Drag(At(300, 40), At(310, 50));
    EXPECT_TRUE(view->Selection().empty());
    ExpectNoFeedbackLeft();

    // A double click edits the selected item; only a confirmed edit marks the document modified.
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, At(20, 20));
    ASSERT_EQ(view->Selection().size(), 1u);
    Doc().SetModifiedFlag(false);
    dialogs.confirm = false;
    DoubleClick(At(20, 20));
    EXPECT_EQ(dialogs.shown, 1);
    EXPECT_FALSE(Doc().IsModified());
    dialogs.confirm = true;
    DoubleClick(At(20, 20));
    EXPECT_EQ(dialogs.shown, 2);
    EXPECT_EQ(view->Selection()[0]->m_lineColor, 0x0000FFu);
    EXPECT_TRUE(Doc().IsModified());

    // A drag whose release went to playback ends without a change.
    Doc().AddFrame(Doc().GetCurrentFrame()->Clone()); // something to play
    Doc().SetModifiedFlag(false);
    Press(At(20, 20));
    Move(At(30, 25));
    ASSERT_TRUE(Run(ID_ANIMATION_PLAY));
    Release(At(30, 25)); // the view ignores the mouse while the banner plays
    ASSERT_TRUE(Run(ID_ANIMATION_STOP));
    Move(At(50, 25));
    Move(At(60, 25));
    EXPECT_EQ(Items().front()->m_position, CRect(10, 10, 40, 30));
    EXPECT_FALSE(Doc().IsModified());
    ExpectNoFeedbackLeft();
    // The next drag starts afresh.
    Drag(At(20, 20), At(25, 20));
    EXPECT_EQ(Items().front()->m_position, CRect(15, 10, 45, 30));

    // Pasting a frame drops the selection of the items it replaced: nothing of the old frame is
    // left to copy, cut or delete.
    ASSERT_TRUE(Run(ID_FRAME_COPY));
    CSprite *added = AddRect({200, 10, 240, 30});
    view->Select(Items().front().get(), false);
    view->Select(added, true);
    ASSERT_TRUE(Run(ID_FRAME_PASTE));
    for (CSprite *item : view->Selection())
        ASSERT_TRUE(Doc().GetCurrentFrame()->Contains(item));
    EXPECT_FALSE(Run(ID_EDIT_COPY));
    EXPECT_FALSE(Run(ID_EDIT_DELETE));
    EXPECT_EQ(Items().size(), 3u);
}

TEST_F(ItemToolsTest, DragsAtTheZoomMoveResizeCopyScrollAndDrawStrokesWithExactFeedback)
{
    StartOver(200);
    CSprite *a = AddRect({10, 5, 30, 15});
    CSprite *b = AddRect({40, 5, 60, 15});
    view->Select(a, false);
    view->Select(b, true);
    // Two selected: a press on a's handle point moves the whole selection.
    Drag(At(10, 5), At(15, 8));
    ASSERT_EQ(Items().size(), 2u);
    EXPECT_EQ(Items().front()->m_position, CRect(15, 8, 35, 18));
    EXPECT_EQ(Items().back()->m_position, CRect(45, 8, 65, 18));
    EXPECT_EQ(view->Selection().size(), 2u);
    ExpectNoFeedbackLeft();

    // One selected: its bottom-right handle resizes it, past the opposite corner too; the
    // cursor over handle 1 of the inverted result is mirrored.
    CSprite *first = Items().front().get();
    view->Select(first, false);
    Move(At(35, 18));
    EXPECT_EQ(view->Control().MouseCursor(), int(CSprite::kCursorSizeNWSE));
    Move(At(25, 18));
    EXPECT_EQ(view->Control().MouseCursor(), int(CSprite::kCursorSizeNS));
    Press(At(35, 18));
    Move(At(20, 12));
    Move(At(5, 2));
    EXPECT_EQ(Items().front()->m_position, CRect(15, 8, 35, 18)); // unchanged until the release
    Release(At(5, 2));
    CSprite *resized = Items().front().get();
    EXPECT_EQ(resized->m_position, CRect(15, 8, 5, 2));
    Move(At(15, 8));
    EXPECT_EQ(view->Control().MouseCursor(), int(CSprite::kCursorSizeNWSE));
    Move(At(5, 8));
    EXPECT_EQ(view->Control().MouseCursor(), int(CSprite::kCursorSizeNESW));
    ExpectNoFeedbackLeft();

    // Ctrl at the release copies: the originals stay, the moved copies go in front, selected.
    Doc().SetModifiedFlag(false);
    view->Select(Items().back().get(), false);
    Drag(At(50, 10), At(50, 20), {}, Qt::ControlModifier);
    ASSERT_EQ(Items().size(), 3u);
    EXPECT_EQ(std::next(Items().begin())->get()->m_position, CRect(45, 8, 65, 18));
    EXPECT_EQ(Items().back()->m_position, CRect(45, 18, 65, 28));
    EXPECT_EQ(view->Selection(), std::vector<CSprite *>{Items().back().get()});
    EXPECT_TRUE(Doc().IsModified());
    // Ctrl without movement duplicates in place.
    QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::ControlModifier, At(50, 20));
    ASSERT_EQ(Items().size(), 4u);
    EXPECT_EQ(Items().back()->m_position, CRect(45, 18, 65, 28));
    ExpectNoFeedbackLeft();

    // Scrolling during a drag (the wheel, say) repaints under the outlines, which stay exact.
    StartOver(400);
    QScrollBar *bar = view->Window()->horizontalScrollBar();
    AddRect({10, 5, 30, 12});
    Press(At(20, 8));
    Move(At(60, 8));
    bar->setValue(40);
    QCoreApplication::processEvents();
    Move(At(25, 9));
    Release(At(25, 9));
    EXPECT_EQ(Items().front()->m_position, CRect(15, 6, 35, 13));
    ExpectNoFeedbackLeft();
    Press(At(60, 2));
    Move(At(70, 10));
    bar->setValue(0);
    QCoreApplication::processEvents();
    Move(At(80, 12));
    Release(At(80, 12));
    ExpectNoFeedbackLeft();

    // Freehand records every new frame pixel once.
    StartOver(400);
    ASSERT_TRUE(Run(ID_TOOLS_FREEHAND));
    Press(At(2, 2));
    Move(At(12, 2));
    const QPoint onSegment = At(7, 2);
    EXPECT_EQ(Pixel(onSegment), 0u);
    // A move within the same frame pixel adds no point and keeps the segment shown.
    Move(At(12, 2) + QPoint(1, 1));
    EXPECT_EQ(Pixel(onSegment), 0u);
    Move(At(12, 8));
    Release(At(12, 8));
    ASSERT_EQ(Items().size(), 1u);
    auto *stroke = dynamic_cast<CPolyline *>(Items().front().get());
    ASSERT_TRUE(stroke);
    EXPECT_EQ(stroke->m_points, (std::vector<CPoint>{{2, 2}, {12, 2}, {12, 8}}));
    EXPECT_EQ(stroke->m_position, CRect(2, 2, 12, 8));
    EXPECT_EQ(view->Selection(), std::vector<CSprite *>{stroke});
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_TRUE(Checked(ID_TOOLS_SELECT));
    ExpectNoFeedbackLeft();
    // A click alone is a stroke of one point.
    Run(ID_TOOLS_FREEHAND);
    QTest::mouseClick(Viewport(), Qt::LeftButton, {}, At(50, 20));
    ASSERT_EQ(Items().size(), 2u);
    EXPECT_EQ(static_cast<CPolyline *>(Items().back().get())->m_points.size(), 1u);
}
