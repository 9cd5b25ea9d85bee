// The Background dialog on its own and through Frame > Load Background of the running editor.
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "document/BackgroundDialog.h"
#include "document/BannerDoc.h"
#include "document/BannerFile.h"
#include "document/CoreContext.h"
#include "platform/ScriptedPrompts.h"
#include "platform/imaging/ImagingWindow.h"
#include "resource.h"
#include "shell/CBannerApp.h"
#include "shell/CDocManager.h"
#include "shell/CMainFrame.h"
#include "shell/DocumentCommands.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// A picture whose every pixel tells where it lies.
QRgb At(int x, int y) { return qRgb((x * 3) & 255, (y * 4) & 255, (x >> 6) * 20) & 0xFFFFFF; }

QString WritePicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, At(x, y));
    const QString path = TestSupport::NewTempDir() + QStringLiteral("/picture%1x%2.png").arg(width).arg(height);
    EXPECT_TRUE(image.save(path));
    return path;
}

// A pixel of a background, which must have the banner's size.
QRgb Pixel(const PackedDib &dib, int x, int y)
{
    ImagingControl ctrl;
    EXPECT_EQ(ctrl.SetFromDIB(dib), ImagingOk);
    EXPECT_EQ(ctrl.BitmapWidth(), 468.0f);
    EXPECT_EQ(ctrl.BitmapHeight(), 60.0f);
    return ctrl.GetBitmapDC()->pixel(x, y) & 0xFFFFFF;
}

void Drag(BackgroundDialog &dialog, QPoint from, std::initializer_list<QPoint> moves)
{
    QWidget *vp = dialog.DisplayWindow()->viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, from);
    for (QPoint to : moves)
        QTest::mouseMove(vp, to);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, *std::prev(moves.end()));
}

void Click(QWidget *button, int times = 1)
{
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(button, Qt::LeftButton);
}
} // namespace

TEST(BackgroundDialog, StartsFromTheFramesBackgroundAndZoomsDownToTenPercent)
{
    ShellTest::DialogFixture f;
    f.context.WorkCtrl.CreateBitmap(10, 10);
    {
        // Without a background: no zoom; a file holding no picture is reported; OK leaves no picture.
        BackgroundDialog dialog(468.0f, 60.0f, f.doc);
        dialog.show();
        EXPECT_FALSE(dialog.ZoomInButton()->isEnabled());
        const QString notPicture = TestSupport::NewTempDir() + QStringLiteral("/notes.png");
        ASSERT_TRUE(TestSupport::WriteFile(notPicture, "not a picture"));
        f.prompts.fileChoices.push_back(Prompts::FileChoice{notPicture, 1});
        Click(dialog.LoadButton());
        EXPECT_TRUE(f.prompts.WasShown(QStringLiteral("Error loading file."), Prompts::Icon::Stop));
        EXPECT_FALSE(dialog.Display().HasBitmap());
        Click(dialog.OkButton());
        EXPECT_FALSE(f.context.WorkCtrl.HasBitmap());
    }
    // With one: shown, OK waits for a change; a drag moves the rectangle, leaving the window ends it.
    f.context.WorkCtrl.CreateBitmap(468, 60);
    f.context.WorkCtrl.FillColor(RGB(0, 0, 255));
    f.doc.GetCurrentFrame()->SetBackground(std::make_unique<PackedDib>(f.context.WorkCtrl.GetAsDIB()));
    BackgroundDialog dialog(468.0f, 60.0f, f.doc);
    dialog.show();
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    Drag(dialog, QPoint(100, 30), {QPoint(90, 35)});
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    Drag(dialog, QPoint(100, 30), {QPoint(-5, 30), QPoint(150, 30)});
    EXPECT_EQ(dialog.Selection(), CRect(-10, 5, 458, 65));

    Click(dialog.ZoomOutButton(), 12);
    EXPECT_EQ(dialog.Display().ZoomPercent(), 10.0f);
}

TEST(BackgroundDialog, LockKeepsTheRectangleOnTheShownPictureAndASmallPictureIsPaddedWhite)
{
    ShellTest::DialogFixture f;
    f.prompts.fileChoices.push_back(Prompts::FileChoice{WritePicture(300, 40), 1});
    BackgroundDialog dialog(468.0f, 60.0f, f.doc);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    Click(dialog.LoadButton());
    EXPECT_TRUE(dialog.OkButton()->hasFocus());

    // Locking puts a moved rectangle back; locked, a drag right stops on the picture's right edge.
    Drag(dialog, QPoint(10, 10), {QPoint(60, 20)});
    dialog.LockCheck()->click();
    EXPECT_EQ(dialog.Selection(), CRect(0, 0, 468, 60));
    Drag(dialog, QPoint(200, 30), {QPoint(260, 30)});
    EXPECT_EQ(dialog.Selection(), CRect(-168, 0, 300, 60));
    // At 200 % the picture shows 600 pixels wide and the lock follows what is shown.
    Click(dialog.ZoomInButton(), 10);
    ASSERT_EQ(dialog.Display().ZoomPercent(), 200.0f);
    EXPECT_EQ(dialog.Bounds().right, std::min(600, dialog.Display().WindowWidth()));
    Click(dialog.ZoomOutButton(), 10);
    // Banner size, the picture where the rectangle lay over it, white elsewhere.
    Click(dialog.OkButton());
    const PackedDib result = f.context.WorkCtrl.GetAsDIB();
    EXPECT_EQ(Pixel(result, 167, 10), 0xFFFFFFu);
    EXPECT_EQ(Pixel(result, 168, 0), At(0, 0));
    EXPECT_EQ(Pixel(result, 400, 39), At(232, 39));
    EXPECT_EQ(Pixel(result, 400, 40), 0xFFFFFFu);
}

TEST(BackgroundDialog, FrameMenuCropsAPictureIntoTheFramesBackgroundAndTheSavedBanner)
{
    CBannerApp app;
    ASSERT_TRUE(app.InitInstance({}));
    ShellTest::ScopedPrompts prompts;
    CommandRouter &r = app.MainFrame()->Router();
    CBannerDoc &doc = app.Documents()->Documents().front()->Doc();
    r.UpdateAll();

    auto cancelled = ShellTest::OnNextModal<BackgroundDialog>([](BackgroundDialog *dialog) {
        Click(ShellTest::ButtonWithText(dialog, QStringLiteral("Cancel")));
    });
    ASSERT_TRUE(r.Execute(ID_FRAME_LOADBACKGROUND));
    EXPECT_TRUE(*cancelled);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.GetCurrentFrame()->HasBackground());

    prompts.fileChoices.push_back(Prompts::FileChoice{WritePicture(600, 100), 1});
    auto seen = ShellTest::OnNextModal<BackgroundDialog>([&](BackgroundDialog *dialog) {
        Click(dialog->LoadButton());
        Drag(*dialog, QPoint(10, 10), {QPoint(110, 30)});
        ASSERT_EQ(dialog->Selection(), CRect(100, 20, 568, 80));
        // The outline inverts the picture under it; inside, the picture shows as it is.
        const QImage &surface = dialog->Display().WindowSurface();
        for (QPoint p : {QPoint(100, 20), QPoint(300, 79)})
            EXPECT_EQ(surface.pixel(p) & 0xFFFFFF, ~At(p.x(), p.y()) & 0xFFFFFF);
        EXPECT_EQ(surface.pixel(150, 40) & 0xFFFFFF, At(150, 40));
        Click(dialog->OkButton());
    });
    ASSERT_TRUE(r.Execute(ID_FRAME_LOADBACKGROUND));
    ASSERT_TRUE(*seen);
    ASSERT_TRUE(doc.GetCurrentFrame()->HasBackground());
    EXPECT_TRUE(doc.IsModified());
    for (QPoint p : {QPoint(0, 0), QPoint(233, 31), QPoint(467, 59)})
        EXPECT_EQ(Pixel(*doc.GetCurrentFrame()->m_hBackground, p.x(), p.y()), At(p.x() + 100, p.y() + 20));

    const QString saved = TestSupport::NewTempDir() + QStringLiteral("/cropped.bnr");
    ASSERT_TRUE(doc.OnSaveDocument(saved));
    CoreContext context;
    CBannerDoc reread(context);
    ASSERT_TRUE(BannerFile::ReadFile(reread, saved));
    ASSERT_TRUE(reread.GetFrame(0)->HasBackground());
    EXPECT_EQ(Pixel(*reread.GetFrame(0)->m_hBackground, 467, 59), At(567, 79));
    app.MainFrame()->close();
}
