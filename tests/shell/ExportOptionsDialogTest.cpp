// The GIF export options dialog: what it shows and stores, and Save As offering it while a GIF is
// chosen, with the save that follows using what was stored.
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "document/BannerDoc.h"
#include "document/GifExportSettings.h"
#include "platform/ScriptedPrompts.h"
#include "platform/imaging/PackedDib.h"
#include "resource.h"
#include "shell/CBannerApp.h"
#include "shell/CDocManager.h"
#include "shell/CMainFrame.h"
#include "shell/DocumentCommands.h"
#include "shell/GifExportOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

namespace {
// Every test leaves the stored options at their defaults.
struct DefaultOptions {
    DefaultOptions() { GifExportSettings::Write({}); }
    ~DefaultOptions() { GifExportSettings::Write({}); }
};

bool operator==(const GifExportSettings::Stored &a, const GifExportSettings::Stored &b)
{
    return a.budgetKB == b.budgetKB && a.fitBudget == b.fitBudget && a.lossy == b.lossy && a.dither == b.dither;
}

// A banner picture with a colour ramp and noise: thousands of colours, so its GIF takes room.
QImage Photographic()
{
    QImage image(468, 60, QImage::Format_RGB32);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(0, 12);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 468; ++x)
            image.setPixel(x, y, qRgb(x / 2 + noise(random), y * 4 + noise(random), (x + y) % 240 + noise(random)));
    return image;
}
} // namespace

TEST(GifExportOptionsDialog, OpensWithTheStoredOptionsAndStoresWhatOkAccepts)
{
    DefaultOptions defaults;
    ScriptedPrompts prompts;
    Prompts::Register(&prompts);
    const GifExportSettings::Stored stored{40, true, 12, true};
    ASSERT_TRUE(GifExportSettings::Write(stored));

    GifExportOptionsDialog dialog;
    dialog.show();
    EXPECT_EQ(std::make_pair(dialog.BudgetEdit()->text(), dialog.LossyEdit()->text()),
              std::make_pair(QStringLiteral("40"), QStringLiteral("12")));
    EXPECT_TRUE(dialog.FitCheck()->isChecked() && dialog.DitherCheck()->isChecked());
    // Without a budget there is nothing to fit; only digits are typed.
    dialog.BudgetEdit()->setText(QStringLiteral("0"));
    EXPECT_FALSE(dialog.FitCheck()->isEnabled());
    QTest::keyClicks(dialog.BudgetEdit(), QStringLiteral("-9x"));
    EXPECT_EQ(dialog.BudgetEdit()->text(), QStringLiteral("09"));
    EXPECT_TRUE(dialog.FitCheck()->isEnabled());
    // Cancel stores nothing.
    dialog.DitherCheck()->setChecked(false);
    dialog.reject();
    EXPECT_TRUE(GifExportSettings::Read() == stored);

    // A level past the encoder's is refused and the dialog stays; OK then stores every field.
    GifExportOptionsDialog edit;
    edit.show();
    edit.BudgetEdit()->setText(QStringLiteral("150"));
    QTest::mouseClick(edit.FitCheck(), Qt::LeftButton, {}, QPoint(5, edit.FitCheck()->height() / 2));
    edit.DitherCheck()->setChecked(false);
    edit.LossyEdit()->setText(QStringLiteral("256"));
    edit.accept();
    EXPECT_TRUE(edit.isVisible());
    EXPECT_TRUE(prompts.WasShown(QStringLiteral("Please enter an integer between 0 and 255."), Prompts::Icon::Warning));
    EXPECT_TRUE(GifExportSettings::Read() == stored);
    edit.LossyEdit()->setText(QStringLiteral("30"));
    QTest::keyClick(edit.LossyEdit(), Qt::Key_Return);
    EXPECT_FALSE(edit.isVisible());
    EXPECT_TRUE(GifExportSettings::Read() == (GifExportSettings::Stored{150, false, 30, false}));
    Prompts::Register(nullptr);
}

TEST(GifExportOptionsDialog, SaveAsOffersItWhileAGifIsChosenAndTheSaveKeepsToTheBudget)
{
    DefaultOptions defaults;
    const QString dir = TestSupport::NewTempDir();
    CBannerApp app;
    ASSERT_TRUE(app.InitInstance({}));
    CBannerDoc &doc = app.Documents()->Documents().front()->Doc();
    doc.GetFrame(0)->SetBackground(std::make_unique<PackedDib>(Dib::Encode24(Photographic())));
    // The size of the exact file, for a budget it does not meet.
    ASSERT_TRUE(doc.SaveAsGif(dir + QStringLiteral("/exact.gif")));
    const qint64 budgetKB = QFile(dir + QStringLiteral("/exact.gif")).size() * 85 / 100 / 1024;
    ASSERT_GT(budgetKB, 0);

    // Options is offered for a GIF type, unless the name typed is a banner's.
    std::shared_ptr<bool> optionsSeen;
    auto seen = ShellTest::OnNextModal<QFileDialog>([&](QFileDialog *d) {
        QPushButton *options = ShellTest::ButtonWithText(d, QStringLiteral("&Options..."));
        auto *name = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        auto *types = d->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
        ASSERT_TRUE(options && name && types);
        EXPECT_FALSE(options->isEnabled());
        QTest::keyClick(types, Qt::Key_Down); // "GIF files (*.gif)", as the user picks it
        EXPECT_TRUE(options->isEnabled());
        QTest::keyClicks(name, QStringLiteral("old.bnr"));
        EXPECT_FALSE(options->isEnabled());
        name->clear();
        d->setDirectory(dir);
        QTest::keyClicks(name, QStringLiteral("banner"));
        EXPECT_TRUE(options->isEnabled());
        optionsSeen = ShellTest::OnNextModal<GifExportOptionsDialog>([&](GifExportOptionsDialog *o) {
            o->BudgetEdit()->setText(QString::number(budgetKB));
            o->FitCheck()->setChecked(true);
            QTest::mouseClick(ShellTest::ButtonWithText(o, QStringLiteral("OK")), Qt::LeftButton);
        });
        QTest::mouseClick(options, Qt::LeftButton);
        QTest::keyClick(name, Qt::Key_Return);
    });
    EXPECT_TRUE(app.MainFrame()->Router().Execute(ID_FILE_SAVE_AS));
    ASSERT_TRUE(*seen);
    ASSERT_TRUE(optionsSeen && *optionsSeen);

    // The options were stored, and the GIF saved with them meets the budget the exact one did not.
    EXPECT_TRUE(GifExportSettings::Read() == (GifExportSettings::Stored{budgetKB, true, 0, false}));
    const QString path = dir + QStringLiteral("/banner.gif");
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_FALSE(doc.IsModified());
    const qint64 size = QFile(path).size();
    EXPECT_GT(size, 0);
    EXPECT_LE(size, budgetKB * 1024);
    doc.SetModifiedFlag(false);
}
