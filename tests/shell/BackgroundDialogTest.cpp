// The Background dialog on its own and through Frame > Load Background of the running editor.
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "document/BackgroundDialog.h"
#include "document/BannerDoc.h"
#include "document/BannerFile.h"
#include "document/CoreContext.h"
#include "editor/ItemPropertiesDialog.h"
#include "items/PrimitiveGraphics.h"
#include "platform/ScriptedPrompts.h"
#include "platform/imaging/ImagingWindow.h"
#include "resource.h"
#include "shell/CBannerApp.h"
#include "shell/CDocManager.h"
#include "shell/CMainFrame.h"
#include "shell/DocumentCommands.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// A picture whose every pixel tells where it lies.
QRgb At(int x, int y)
{
    return qRgb((x * 3) & 255, (y * 4) & 255, (x >> 6) * 20);
}

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

QRgb Pixel(const PackedDib &dib, int x, int y)
{
    ImagingControl ctrl;
    EXPECT_EQ(ctrl.SetFromDIB(dib), ImagingOk);
    EXPECT_EQ(ctrl.BitmapWidth(), 468.0f);
    EXPECT_EQ(ctrl.BitmapHeight(), 60.0f);
    return ctrl.GetBitmapDC()->pixel(x, y) & 0xFFFFFF;
}

void Drag(BackgroundDialog &dialog, QPoint from, QPoint to)
{
    QWidget *vp = dialog.DisplayWindow()->viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, from);
    QTest::mouseMove(vp, to);
    QTest::mouseRelease(vp, Qt::LeftButton, {}, to);
}

} // namespace

TEST(BackgroundDialog, StartsFromTheFramesBackgroundAndZoomsDownToTenPercent)
{
    ShellTest::DialogFixture f;
    // Without a background: no zoom, and OK leaves no picture.
    f.context.WorkCtrl.CreateBitmap(10, 10);
    {
        BackgroundDialog dialog(468.0f, 60.0f, f.doc);
        dialog.show();
        EXPECT_FALSE(dialog.ZoomInButton()->isEnabled());
        EXPECT_FALSE(dialog.ZoomOutButton()->isEnabled());
        EXPECT_TRUE(dialog.OkButton()->isEnabled());
        // A file that holds no picture is reported and changes nothing.
        const QString notPicture = TestSupport::NewTempDir() + QStringLiteral("/notes.png");
        ASSERT_TRUE(TestSupport::WriteFile(notPicture, "not a picture"));
        f.prompts.fileChoices.push_back(Prompts::FileChoice{notPicture, 1});
        QTest::mouseClick(dialog.LoadButton(), Qt::LeftButton);
        EXPECT_TRUE(f.prompts.WasShown(QStringLiteral("Error loading file."), Prompts::Icon::Stop));
        EXPECT_FALSE(dialog.Display().HasBitmap());
        EXPECT_FALSE(dialog.ZoomInButton()->isEnabled());
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_FALSE(f.context.WorkCtrl.HasBitmap());
    }
    // With one: shown, OK waits for a change; the rectangle moves by the drag.
    f.context.WorkCtrl.CreateBitmap(468, 60);
    f.context.WorkCtrl.FillColor(RGB(0, 0, 255));
    f.doc.GetCurrentFrame()->SetBackground(std::make_unique<PackedDib>(f.context.WorkCtrl.GetAsDIB()));
    BackgroundDialog dialog(468.0f, 60.0f, f.doc);
    dialog.show();
    EXPECT_TRUE(dialog.Display().HasBitmap());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    EXPECT_EQ(dialog.Selection(), CRect(0, 0, 468, 60));
    Drag(dialog, QPoint(100, 30), QPoint(90, 35));
    EXPECT_EQ(dialog.Selection(), CRect(-10, 5, 458, 65));
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    // Leaving the window ends the drag; later moves do not move the rectangle.
    QWidget *vp = dialog.DisplayWindow()->viewport();
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(100, 30));
    QTest::mouseMove(vp, QPoint(-5, 30));
    QTest::mouseMove(vp, QPoint(150, 30));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(150, 30));
    EXPECT_EQ(dialog.Selection(), CRect(-10, 5, 458, 65));

    for (int i = 0; i < 12; ++i)
        QTest::mouseClick(dialog.ZoomOutButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.Display().ZoomPercent(), 10.0f);
    QTest::mouseClick(dialog.ZoomInButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.Display().ZoomPercent(), 20.0f);
    // Cancel leaves the frame as it was.
    QTest::mouseClick(ShellTest::ButtonWithText(&dialog, QStringLiteral("Cancel")), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(f.doc.GetCurrentFrame()->HasBackground());
}

TEST(BackgroundDialog, LockKeepsTheRectangleOnTheShownPictureAndASmallPictureIsPaddedWhite)
{
    ShellTest::DialogFixture f;
    const QString path = WritePicture(300, 40);
    f.prompts.fileChoices.push_back(Prompts::FileChoice{path, 1});
    BackgroundDialog dialog(468.0f, 60.0f, f.doc);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QTest::mouseClick(dialog.LoadButton(), Qt::LeftButton);
    ASSERT_EQ(f.prompts.fileDialogs.size(), 1u);
    EXPECT_EQ(f.prompts.fileDialogs[0].title, QStringLiteral("Open File"));
    EXPECT_EQ(dialog.Display().BitmapWidth(), 300.0f);
    EXPECT_TRUE(dialog.ZoomInButton()->isEnabled());
    EXPECT_TRUE(dialog.OkButton()->hasFocus());

    Drag(dialog, QPoint(10, 10), QPoint(60, 20));
    dialog.LockCheck()->click();
    EXPECT_EQ(dialog.Selection(), CRect(0, 0, 468, 60));
    // Locked, dragging right stops with the right edge on the picture's, even pulled further.
    Drag(dialog, QPoint(200, 30), QPoint(250, 30));
    EXPECT_EQ(dialog.Selection(), CRect(-168, 0, 300, 60));
    Drag(dialog, QPoint(200, 30), QPoint(260, 30));
    EXPECT_EQ(dialog.Selection(), CRect(-168, 0, 300, 60));
    // At 200 % the picture shows 600 pixels wide and the lock follows what is shown.
    for (int i = 0; i < 10; ++i)
        QTest::mouseClick(dialog.ZoomInButton(), Qt::LeftButton);
    ASSERT_EQ(dialog.Display().ZoomPercent(), 200.0f);
    EXPECT_EQ(dialog.Bounds().right, std::min(600, dialog.Display().WindowWidth()));
    for (int i = 0; i < 10; ++i)
        QTest::mouseClick(dialog.ZoomOutButton(), Qt::LeftButton);
    ASSERT_EQ(dialog.Display().ZoomPercent(), 100.0f);

    // Half the rectangle over the picture: banner size, the picture where it lay, white elsewhere.
    QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    const PackedDib result = f.context.WorkCtrl.GetAsDIB();
    EXPECT_EQ(Pixel(result, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(Pixel(result, 167, 10), 0xFFFFFFu);
    EXPECT_EQ(Pixel(result, 168, 0), At(0, 0) & 0xFFFFFF);
    EXPECT_EQ(Pixel(result, 400, 39), At(232, 39) & 0xFFFFFF);
    EXPECT_EQ(Pixel(result, 400, 40), 0xFFFFFFu);
    EXPECT_EQ(Pixel(result, 467, 59), 0xFFFFFFu);
}

TEST(BackgroundDialog, FrameMenuCropsAPictureIntoTheFramesBackgroundAndTheSavedBanner)
{
    CBannerApp app;
    ASSERT_TRUE(app.InitInstance({}));
    ShellTest::ScopedPrompts prompts;
    CommandRouter &r = app.MainFrame()->Router();
    CBannerDoc &doc = app.Documents()->Documents().front()->Doc();
    r.UpdateAll();
    EXPECT_TRUE(r.FindAction(ID_FRAME_LOADBACKGROUND)->isEnabled());

    // The items reach the editor's property dialogs.
    CPrimitiveGraphics line(CRect(0, 0, 9, 9));
    line.m_shape = CPrimitiveGraphics::kLine;
    EXPECT_FALSE(ShellTest::EditWith<ItemPropertiesDialog>(line, [](ItemPropertiesDialog *d) { d->reject(); }));

    // Cancel leaves the frame and the document as they were.
    auto cancelled = ShellTest::OnNextModal<BackgroundDialog>([](BackgroundDialog *dialog) {
        QTest::mouseClick(ShellTest::ButtonWithText(dialog, QStringLiteral("Cancel")), Qt::LeftButton);
    });
    ASSERT_TRUE(r.Execute(ID_FRAME_LOADBACKGROUND));
    EXPECT_TRUE(*cancelled);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.GetCurrentFrame()->HasBackground());

    const QString picture = WritePicture(600, 100);
    prompts.fileChoices.push_back(Prompts::FileChoice{picture, 1});
    ASSERT_FALSE(doc.IsModified());
    auto seen = ShellTest::OnNextModal<BackgroundDialog>([&](BackgroundDialog *dialog) {
        QTest::mouseClick(dialog->LoadButton(), Qt::LeftButton);
        Drag(*dialog, QPoint(10, 10), QPoint(110, 30));
        ASSERT_EQ(dialog->Selection(), CRect(100, 20, 568, 80));
        // The outline inverts the picture under it; inside, the picture shows as it is.
        const QImage &surface = dialog->Display().WindowSurface();
        EXPECT_EQ(surface.pixel(100, 20) & 0xFFFFFF, ~At(100, 20) & 0xFFFFFF);
        EXPECT_EQ(surface.pixel(300, 79) & 0xFFFFFF, ~At(300, 79) & 0xFFFFFF);
        EXPECT_EQ(surface.pixel(150, 40) & 0xFFFFFF, At(150, 40) & 0xFFFFFF);
        QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    });
    ASSERT_TRUE(r.Execute(ID_FRAME_LOADBACKGROUND));
    ASSERT_TRUE(*seen);
    ASSERT_TRUE(doc.GetCurrentFrame()->HasBackground());
    EXPECT_TRUE(doc.IsModified());
    const PackedDib &background = *doc.GetCurrentFrame()->m_hBackground;
    for (QPoint p : {QPoint(0, 0), QPoint(233, 31), QPoint(467, 59)})
        EXPECT_EQ(Pixel(background, p.x(), p.y()), At(p.x() + 100, p.y() + 20) & 0xFFFFFF);

    const QString saved = TestSupport::NewTempDir() + QStringLiteral("/cropped.bnr");
    ASSERT_TRUE(doc.OnSaveDocument(saved));
    CoreContext context;
    CBannerDoc reread(context);
    ASSERT_TRUE(BannerFile::ReadFile(reread, saved));
    ASSERT_TRUE(reread.GetFrame(0)->HasBackground());
    for (QPoint p : {QPoint(0, 0), QPoint(467, 59)})
        EXPECT_EQ(Pixel(*reread.GetFrame(0)->m_hBackground, p.x(), p.y()), At(p.x() + 100, p.y() + 20) & 0xFFFFFF);
    app.MainFrame()->close();
}
