#include "shell/GifEstimatePane.h"

#include "document/GifSizeEstimate.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/DocumentCommands.h"

#include <QStatusBar>

GifEstimatePane::GifEstimatePane(CMainFrame &frame) : QLabel(frame.statusBar()), m_normal(palette())
{
    // Room for a large banner's size, so the bar does not jump while the number changes.
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("GIF 8888 KB …")));
    frame.statusBar()->addPermanentWidget(this);
    connect(&frame, &CMainFrame::ActiveChildChanged, this, &GifEstimatePane::Follow);
    Follow(frame.ActiveChildFrame());
}

GifSizeEstimate *GifEstimatePane::Shown() const
{
    return m_shown;
}

void GifEstimatePane::Follow(CChildFrame *child)
{
    auto *commands = child ? dynamic_cast<DocumentCommands *>(child->DocumentTarget()) : nullptr;
    GifSizeEstimate *estimate = commands ? commands->GifEstimate() : nullptr;
    if (estimate != m_shown) {
        disconnect(m_changed);
        m_shown = estimate;
        if (estimate) {
            m_changed = connect(estimate, &GifSizeEstimate::Changed, this, &GifEstimatePane::Update);
            // The budget or the export options may have changed while another window was active.
            estimate->ReadSettings();
        }
    }
    Update();
}

void GifEstimatePane::Update()
{
    if (!m_shown) {
        hide();
        return;
    }
    QPalette colours = m_normal;
    if (m_shown->OverBudget())
        colours.setColor(QPalette::WindowText, Qt::red);
    setPalette(colours);
    setText(m_shown->Text());
    setToolTip(m_shown->Details());
    show();
}
