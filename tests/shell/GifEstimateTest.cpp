// The live GIF size in the status bar: the exported file's size (also fitted to a budget), red
// above the budget, the active document's, and measured beside the interface, a change stopping it.
#include "FramesTestSupport.h"
#include "TestSupport.h"
#include "document/GifExportSettings.h"
#include "document/GifSizeEstimate.h"
#include "items/PrimitiveGraphics.h"
#include "items/Text.h"
#include "platform/imaging/ImagingWindow.h"
#include "platform/imaging/PackedDib.h"
#include "resource.h"
#include "shell/GifEstimatePane.h"
#include "shell/LogoBackgroundWnd.h"

#include <QFileInfo>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QSemaphore>
#include <atomic>
#include <cmath>

namespace {
class GifEstimateTest : public FramesFixture {
protected:
    void SetUp() override
    {
        FramesFixture::SetUp();
        dir = TestSupport::NewTempDir();
        pane = frame->findChild<GifEstimatePane *>();
        ASSERT_TRUE(pane);
        estimate = EstimateOf(*doc);
        estimate->SetDelay(0);
        ASSERT_TRUE(WaitFor([this] { return !estimate->Measuring(); }));
    }
    void TearDown() override
    {
        GifExportSettings::Write(GifExportSettings::Stored{});
        FramesFixture::TearDown();
    }
    GifSizeEstimate *EstimateOf(const CBannerDoc &d) const
    {
        return app.Documents()->Find(d)->GifEstimate();
    }
    bool Measured() const
    {
        return WaitFor([this] { return !estimate->Measuring() && estimate->HasSize(); });
    }
    // The size of the GIF a save writes with the stored settings (the document then holds the file).
    qint64 ExportedBytes(const QString &name)
    {
        app.Context().m_gifOptions = GifExportSettings::ExportOptions(GifExportSettings::Read());
        const QString path = dir + "/" + name;
        EXPECT_TRUE(doc->OnSaveDocument(path));
        return QFileInfo(path).size();
    }
    // Stores the settings and measures again.
    bool MeasuredWith(const GifExportSettings::Stored &settings)
    {
        EXPECT_TRUE(GifExportSettings::Write(settings));
        estimate->Refresh();
        return Measured();
    }
    bool PaneIsRed() const { return pane->palette().color(QPalette::WindowText) == QColor(Qt::red); }
    void PostMouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
    {
        QWidget *viewport = banner->Window()->viewport();
        QCoreApplication::postEvent(viewport, new QMouseEvent(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                                                              buttons, Qt::NoModifier));
    }

    QString dir;
    GifEstimatePane *pane = nullptr;
    GifSizeEstimate *estimate = nullptr;
};

QImage Photo()
{
    QImage image(468, 60, QImage::Format_RGB32);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 468; ++x)
            image.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, int(127 + 120 * std::sin(x / 23.0)), (x * y) % 251));
    return image;
}
} // namespace

TEST_F(GifEstimateTest, IsTheExportedSizeOfTheActiveDocumentAndRedAboveTheBudget)
{
    // Moving shapes and changing text over a photograph on some frames, a plain colour on others.
    const PackedDib photo = Dib::Encode24(Photo());
    doc->DeleteContents();
    for (int k = 0; k < 12; ++k) {
        auto f = std::make_unique<CBannerFrame>(k % 3 ? std::make_unique<PackedDib>(photo) : nullptr, RGB(250, 240, 200), 100);
        auto ball = std::make_unique<CPrimitiveGraphics>(CRect(10 + 20 * k, 8, 50 + 20 * k, 48));
        ball->m_shape = 2;
        ball->m_fill = 1;
        ball->m_fillColor = RGB(200, 40, 40);
        f->AddItem(std::move(ball));
        auto text = std::make_unique<CText>(CRect(150, 20, 290, 50));
        text->m_text = QStringLiteral("Sale %1%").arg(10 + k);
        text->m_penWidth = 14;
        f->AddItem(std::move(text));
        doc->m_frames.push_back(std::move(f));
    }
    doc->SetCurrentFrame(0);
    doc->History().Record(QStringLiteral("Frames"));
    ASSERT_TRUE(Measured());
    EXPECT_TRUE(pane->isVisible());
    EXPECT_TRUE(pane->text().startsWith(QStringLiteral("GIF ")) && pane->text().endsWith(QStringLiteral(" KB")));
    EXPECT_FALSE(PaneIsRed()); // the default budget of 150 KB holds a dozen frames
    const qint64 exact = ExportedBytes("exact.gif");
    EXPECT_EQ(estimate->Bytes(), exact);

    // Fitting a budget makes the export lossy, and the estimate with it.
    GifExportSettings::Stored settings;
    settings.budgetKB = exact * 85 / 100 / 1024;
    settings.fitBudget = true;
    ASSERT_TRUE(MeasuredWith(settings));
    const qint64 fitted = ExportedBytes("fitted.gif");
    EXPECT_LT(fitted, exact);
    EXPECT_EQ(estimate->Bytes(), fitted);
    EXPECT_FALSE(PaneIsRed());

    // Red above the budget, never without one.
    settings = {};
    settings.budgetKB = exact / 2 / 1024;
    ASSERT_TRUE(MeasuredWith(settings));
    EXPECT_GT(estimate->Bytes(), estimate->Budget());
    EXPECT_TRUE(PaneIsRed());
    settings.budgetKB = 0;
    ASSERT_TRUE(MeasuredWith(settings));
    EXPECT_FALSE(PaneIsRed());

    // Another banner's window shows its estimate; back, this one's with the budget set meanwhile.
    ASSERT_TRUE(Run(ID_FILE_NEW));
    CFrameView *other = ActiveBannerView();
    ASSERT_TRUE(other && other != banner);
    EXPECT_EQ(pane->Shown(), EstimateOf(other->GetDocument()));
    ASSERT_TRUE(WaitFor([&] { return !pane->Shown()->Measuring(); }));
    EXPECT_NE(pane->text(), estimate->Text());
    settings.budgetKB = 1;
    ASSERT_TRUE(GifExportSettings::Write(settings));
    for (QMdiSubWindow *w : frame->MdiClient()->subWindowList())
        if (qobject_cast<CChildFrame *>(w)->View() == banner)
            frame->MdiClient()->setActiveSubWindow(w);
    EXPECT_EQ(pane->Shown(), estimate);
    EXPECT_EQ(pane->text(), estimate->Text());
    EXPECT_TRUE(PaneIsRed());
}

TEST_F(GifEstimateTest, InputIsHandledWhileAThousandFrameEstimateRunsAndTheLastChangeWins)
{
    // The first measurement of the long banner is held at its 100th page until released.
    QSemaphore held, release;
    std::atomic<bool> returned{false};
    std::atomic<int> measurements{0}, firstReached{0}, latestReached{0}; // the last page reached
    estimate->SetPageHook([&](int page) {
        const int current = page == 1 ? ++measurements : measurements.load();
        (current == 1 ? firstReached : latestReached) = page;
        if (current == 1 && page == 100) {
            held.release();
            release.tryAcquire(1, 60000);
            returned = true;
        }
    });
    std::vector<COLORREF> colours;
    for (int k = 0; k < 1000; ++k)
        colours.push_back(RGB(k % 256, (k * 7) % 256, 128));
    MakeFrames(colours, 100);
    doc->History().Record(QStringLiteral("Frames"));
    ASSERT_TRUE(WaitFor([&] { return held.available() > 0; }));

    // A rectangle drawn through the event queue while the measurement is held.
    Run(ID_TOOLS_RECTANGLE);
    const QPoint from = banner->Control().BitmapToClient(QPoint(10, 10));
    const QPoint to = banner->Control().BitmapToClient(QPoint(60, 40));
    PostMouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    PostMouse(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    PostMouse(QEvent::MouseMove, to, Qt::LeftButton);
    PostMouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    const bool drawn = WaitFor([&] { return doc->GetFrame(0)->Items().size() == 1; });
    EXPECT_FALSE(returned);
    EXPECT_TRUE(estimate->Measuring());
    release.release();
    ASSERT_TRUE(drawn);

    ASSERT_TRUE(Measured());
    EXPECT_EQ(firstReached, 100); // stopped at once by the change
    EXPECT_EQ(latestReached, 999);
    EXPECT_EQ(pane->text(), estimate->Text());
    estimate->SetPageHook(nullptr);
    EXPECT_EQ(estimate->Bytes(), ExportedBytes("final.gif"));
}
