#pragma once
// The Frames View: every frame of the banner as a vertical strip of cells (the frame's picture
// at 100 % with a caption line), the document's current frame ringed in blue. A click makes a
// frame current; a double click opens or raises the Banner View on it. The view draws only the
// cells it shows, each rendered once and kept in a bounded cache, so a banner of any length
// costs the memory of a screenful of cells. It also prints the frames.
#include "document/DocumentView.h"
#include "editor/CommandTarget.h"
#include "shell/FrameCells.h"

#include <QAbstractScrollArea>
#include <QCache>
#include <QImage>

class CBannerDoc;
class MainFrameServices;

class CBannerView : public QAbstractScrollArea, public DocumentView, public CommandTarget {
    Q_OBJECT
public:
    explicit CBannerView(CBannerDoc &doc, MainFrameServices *frame = nullptr, QWidget *parent = nullptr);
    ~CBannerView() override;

    CBannerDoc &GetDocument() const { return m_doc; }
    // The strip for the document's frames, the current frame marked.
    void OnInitialUpdate();

    FrameCells::Geometry Geometry() const { return FrameCells::Geometry::Of(m_doc); }
    // StripWidth x (frame count x CellHeight).
    QSize StripSize() const;
    // Forgets every cell and lays the strip out again for the document's frames.
    void RebuildStrip();
    // Draws frame `index` again (its picture or caption changed).
    void RedrawCell(int index);
    // Moves the blue ring to frame `index` (-1: no ring).
    void MarkSelection(int index);
    int Selected() const { return m_selected; }
    // The frame under a point of the viewport, or -1 outside the strip.
    int HitTestCell(int x, int y, int cellHeight) const;
    // Cells rendered and kept for painting.
    int CachedCells() const { return m_cells.count(); }

    // DocumentView
    ViewKind Kind() const override { return ViewKind::FramesView; }
    void OnUpdate(DocumentView *sender, long hint, CSprite *item) override;

    // CommandTarget: printing and the status panes.
    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(unsigned id, CommandState &state) override;
    void OnActivateView() override;
    void OnIdleUpdate() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    const QImage *Cell(int index);
    // A rectangle of the strip in viewport pixels.
    QRect ToViewport(const QRect &stripRect) const;
    void UpdateScrollBars();
    void OnDblClick();
    void SetPanes();
    void OnFilePrint();
    void OnFilePrintPreview();

    CBannerDoc &m_doc;
    MainFrameServices *m_frame;
    int m_selected = 0;
    QCache<int, QImage> m_cells;
};
