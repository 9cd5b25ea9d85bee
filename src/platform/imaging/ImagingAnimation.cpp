// ImagingControl: playing the page list as an animation.
#include "platform/imaging/ImagingControl.h"

#include <QTimer>
#include <algorithm>

namespace {
// Browsers show GIF delays below 20 ms faster than anything can paint; 10 ms keeps a banner of
// zero delays from spinning the event loop.
constexpr int kMinimumDelayMs = 10;
}

void ImagingControl::SetAnimationRunning(bool on)
{
    if (!on) {
        if (m_animationTimer != nullptr)
            m_animationTimer->stop();
        const bool wasRunning = m_animationRunning;
        m_animationRunning = false;
        m_animationCanvas = QImage();
        if (wasRunning && m_windowWidth > 0 && m_windowHeight > 0)
            Repaint();
        return;
    }
    if (m_pages.empty())
        return;
    if (m_animationTimer == nullptr) {
        m_animationTimer = new QTimer(this);
        m_animationTimer->setSingleShot(true);
        connect(m_animationTimer, &QTimer::timeout, this, &ImagingControl::AnimationStep);
    }
    // The logical screen: large enough for every page at its offset.
    int w = 1, h = 1;
    for (const ImagingBitmap &p : m_pages) {
        w = std::max(w, std::max(0, p.left) + p.image.width());
        h = std::max(h, std::max(0, p.top) + p.image.height());
    }
    w = std::min(w, Dib::kMaxSide);
    h = std::min(h, Dib::kMaxSide);
    m_animationCanvas = QImage(w, h, QImage::Format_RGB32);
    m_animationCanvas.fill(ColorrefToQRgb(m_backColor));
    m_animationRunning = true;
    m_animationRepeats = 0;
    ShowAnimationPage(0);
}

void ImagingControl::ShowAnimationPage(int index)
{
    if (index < 0 || index >= PageCount() || m_animationCanvas.isNull())
        return;
    // What the previous page asked to leave behind.
    if (index > 0) {
        const ImagingBitmap &prev = m_pages[std::size_t(index - 1)];
        if (prev.disposal == 2) {
            const QRect r = QRect(prev.left, prev.top, prev.image.width(), prev.image.height())
                                .intersected(m_animationCanvas.rect());
            for (int y = r.top(); y <= r.bottom() && !r.isEmpty(); ++y) {
                auto *d = reinterpret_cast<QRgb *>(m_animationCanvas.scanLine(y));
                std::fill(d + r.left(), d + r.right() + 1, ColorrefToQRgb(m_backColor));
            }
        }
    } else {
        m_animationCanvas.fill(ColorrefToQRgb(m_backColor));
    }
    const ImagingBitmap &page = m_pages[std::size_t(index)];
    const QRgb key = ColorrefToQRgb(page.transparentColor);
    const QRect r = QRect(page.left, page.top, page.image.width(), page.image.height())
                        .intersected(m_animationCanvas.rect());
    for (int y = r.top(); y <= r.bottom() && !r.isEmpty(); ++y) {
        const auto *s = reinterpret_cast<const QRgb *>(page.image.constScanLine(y - page.top));
        auto *d = reinterpret_cast<QRgb *>(m_animationCanvas.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb px = s[x - page.left] | 0xFF000000u;
            if (!page.transparent || px != key)
                d[x] = px;
        }
    }
    m_animationPage = index;
    if (m_windowWidth > 0 && m_windowHeight > 0)
        Repaint();
    m_animationTimer->start(std::max(kMinimumDelayMs, page.delayMs));
}

void ImagingControl::AnimationStep()
{
    if (!m_animationRunning)
        return;
    const int next = m_animationPage + 1;
    if (next < PageCount()) {
        ShowAnimationPage(next);
        return;
    }
    if (m_animationLoop && PageCount() > 0 && (m_animationLoopCount == 0 || m_animationRepeats < m_animationLoopCount)) {
        ++m_animationRepeats;
        ShowAnimationPage(0);
        return;
    }
    // A run without looping, or past its repeats, ends on the last page.
    m_pageIndex = std::max(0, PageCount() - 1);
    m_animationRunning = false;
    m_animationCanvas = QImage();
    if (m_windowWidth > 0 && m_windowHeight > 0)
        Repaint();
    emit AnimationStopped();
}
