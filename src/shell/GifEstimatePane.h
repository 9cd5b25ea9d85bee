#pragma once
// The status bar pane with the live size of the active document's GIF, in red above the user's
// size budget. It follows the active document window (a Banner View or a Frames View) and is
// hidden while there is none.
#include <QLabel>
#include <QPalette>
#include <QPointer>

class CChildFrame;
class CMainFrame;
class GifSizeEstimate;

class GifEstimatePane : public QLabel {
    Q_OBJECT
public:
    // Joins the main frame's status bar after the panes already there.
    explicit GifEstimatePane(CMainFrame &frame);

    // The estimate shown; none while no document window is active.
    GifSizeEstimate *Shown() const;

private:
    void Follow(CChildFrame *child);
    void Update();

    QPointer<GifSizeEstimate> m_shown;
    QMetaObject::Connection m_changed;
    QPalette m_normal;
};
