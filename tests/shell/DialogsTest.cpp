// The colour button's drawing and the small dialogs' fields and texts.
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "shell/QtPrompts.h"
#include "platform/ScriptedPrompts.h"
#include "resource.h"
#include "shell/AboutDialog.h"
#include "shell/BrowserFallbackDialog.h"
#include "platform/widgets/CColorButton.h"
#include "shell/FrameDelayDialog.h"
#include "shell/GifWarnDlg.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCompleter>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
QStringList LabelTexts(const QWidget *w)
{
    QStringList texts;
    for (const QLabel *label : w->findChildren<QLabel *>())
        if (!label->text().isEmpty())
            texts << label->text();
    return texts;
}
} // namespace

TEST(CColorButton, SwatchAndBorderFollowTheFocus)
{
    QWidget dialog;
    auto *other = new QPushButton(QStringLiteral("x"), &dialog);
    other->setGeometry(0, 0, 30, 20);
    auto *button = new CColorButton(&dialog);
    button->setGeometry(40, 0, 30, 20);
    EXPECT_EQ(button->GetColor(), COLORREF(0));
    button->SetColor(RGB(255, 0, 0));
    EXPECT_EQ(button->GetColor(), RGB(255, 0, 0));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const QColor face = button->palette().color(QPalette::Button);
    const QColor dark = button->palette().color(QPalette::WindowText);
    other->setFocus();

    QImage img = button->grab().toImage();
    ASSERT_EQ(img.size(), QSize(30, 20));
    auto at = [&](int x, int y) { return img.pixelColor(x, y).rgb(); };
    // Unfocused: face ring outside, one-pixel dark border inside it with face corners.
    EXPECT_EQ(at(0, 0), face.rgb());
    EXPECT_EQ(at(15, 0), face.rgb());
    EXPECT_EQ(at(1, 1), face.rgb());
    EXPECT_EQ(at(15, 1), dark.rgb());
    EXPECT_EQ(at(1, 10), dark.rgb());
    EXPECT_EQ(at(28, 10), dark.rgb());
    EXPECT_EQ(at(15, 18), dark.rgb());
    EXPECT_EQ(at(2, 2), QColor(255, 0, 0).rgb());
    EXPECT_EQ(at(27, 17), QColor(255, 0, 0).rgb());

    // Tabbing to it thickens the border to two pixels; the outermost corners stay face.
    button->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(button->hasFocus());
    img = button->grab().toImage();
    EXPECT_EQ(at(15, 0), dark.rgb());
    EXPECT_EQ(at(15, 1), dark.rgb());
    EXPECT_EQ(at(0, 10), dark.rgb());
    EXPECT_EQ(at(29, 10), dark.rgb());
    EXPECT_EQ(at(0, 0), face.rgb());
    EXPECT_EQ(at(29, 19), face.rgb());
    EXPECT_EQ(at(1, 1), dark.rgb());
    EXPECT_EQ(at(2, 2), QColor(255, 0, 0).rgb());

    other->setFocus(Qt::TabFocusReason);
    img = button->grab().toImage();
    EXPECT_EQ(at(15, 0), face.rgb());
    EXPECT_EQ(at(15, 1), dark.rgb());
}

TEST(FrameDelayDialog, ShowsTheDelayAcceptsDigitsOnlyAndRefusesAnEmptyField)
{
    ScriptedPrompts prompts;
    Prompts::Register(&prompts);
    FrameDelayDialog dialog;
    EXPECT_EQ(dialog.m_delay, 0);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Frame Delay"));
    EXPECT_TRUE(LabelTexts(&dialog).contains(QStringLiteral("&Time :")));
    EXPECT_TRUE(LabelTexts(&dialog).contains(QStringLiteral("msec.")));
    EXPECT_EQ(dialog.DelayEdit()->objectName(), QString::number(IDC_DELAY));
    dialog.m_delay = 100;
    dialog.show();
    EXPECT_EQ(dialog.DelayEdit()->text(), QStringLiteral("100"));

    QLineEdit *edit = dialog.DelayEdit();
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("-2x5a0"));
    EXPECT_EQ(edit->text(), QStringLiteral("250"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.m_delay, 250);

    // Empty: the standard request for an integer, and the dialog stays open.
    FrameDelayDialog again;
    again.m_delay = 100;
    again.show();
    again.DelayEdit()->clear();
    again.accept();
    EXPECT_TRUE(again.isVisible());
    EXPECT_EQ(again.m_delay, 100);
    EXPECT_TRUE(prompts.WasShown(QStringLiteral("Please enter an integer."), Prompts::Icon::Warning));
    // Too large for the 32-bit delay is refused the same way.
    QTest::keyClicks(again.DelayEdit(), QStringLiteral("99999999999"));
    again.accept();
    EXPECT_TRUE(again.isVisible());
    again.DelayEdit()->setText(QStringLiteral("0"));
    again.accept();
    EXPECT_FALSE(again.isVisible());
    EXPECT_EQ(again.m_delay, 0);

    // Cancel keeps the field as it was.
    FrameDelayDialog cancelled;
    cancelled.m_delay = 100;
    cancelled.show();
    cancelled.DelayEdit()->setText(QStringLiteral("700"));
    cancelled.reject();
    EXPECT_EQ(cancelled.m_delay, 100);
}

TEST(GifWarnDlg, TextsAndTheCheckBoxRoundTrip)
{
    GifWarnDlg dialog;
    EXPECT_FALSE(dialog.m_check);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Warning : Vellumark Release"));
    const QStringList texts = LabelTexts(&dialog);
    EXPECT_TRUE(texts.contains(QStringLiteral("While opening animated GIF files in Vellumark,  a very few files may "
                                              "not be displayed correctly in the Frames view.")));
    EXPECT_TRUE(texts.contains(QStringLiteral("In such a case simply close the file without saving it.")));
    EXPECT_TRUE(texts.contains(QStringLiteral(
        "If such a file is saved with Vellumark, some of the frames may be saved incorrectly.")));
    QCheckBox *box = dialog.CheckBox();
    EXPECT_EQ(box->text(), QStringLiteral("&Show this dialog next time."));
    EXPECT_EQ(box->objectName(), QString::number(IDC_SHOWAGAIN));

    dialog.m_check = true;
    dialog.show();
    EXPECT_TRUE(box->isChecked());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
    EXPECT_FALSE(box->isChecked());
    dialog.accept();
    EXPECT_FALSE(dialog.m_check);

    GifWarnDlg keep;
    keep.m_check = true;
    keep.show();
    keep.accept();
    EXPECT_TRUE(keep.m_check);
}

TEST(GifWarnDlg, TheEditorsPromptsShowIt)
{
    QtPrompts prompts;
    bool startedChecked = false;
    auto seen = ShellTest::OnNextModal<GifWarnDlg>([&](GifWarnDlg *d) {
        startedChecked = d->CheckBox()->isChecked();
        d->CheckBox()->setChecked(false);
        d->accept();
    });
    EXPECT_FALSE(prompts.ShowGifWarning());
    EXPECT_TRUE(*seen);
    EXPECT_TRUE(startedChecked);
    seen = ShellTest::OnNextModal<GifWarnDlg>([](GifWarnDlg *d) { d->accept(); });
    EXPECT_TRUE(prompts.ShowGifWarning());
    EXPECT_TRUE(*seen);
}

// Return in the name field saves also while the name completion list is open: what was typed
// as it stands, or the completion picked with the arrow keys, which then asks about overwriting.
TEST(QtPrompts, ReturnWithTheCompletionListOpenSaves)
{
    const QString dir = TestSupport::NewTempDir();
    TestSupport::WriteFile(dir + QStringLiteral("/banner-old.bnr"), "old");
    QtPrompts prompts;
    Prompts::FileDialog options;
    options.filter = QStringLiteral("Banner Files (*.bnr)|*.bnr||");
    options.defaultExt = QStringLiteral("bnr");
    options.initialPath = dir;
    options.overwritePrompt = true;
    options.savesGif = [](const QString &, int) { return false; };

    // Answers the overwrite question Yes, counting how often it was asked.
    int overwriteAsked = 0;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            ++overwriteAsked;
            box->button(QMessageBox::Yes)->click();
        }
    });
    answer.start();
    // Types `prefix` once the folder is listed and presses Return with the list open; `pick`
    // first highlights the completion.
    auto typePrefix = [&](const QString &prefix, bool pick, bool &popupShown) {
        return ShellTest::OnNextModal<QFileDialog>([&, prefix, pick](QFileDialog *d) {
            auto *name = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            auto *model = d->findChild<QFileSystemModel *>();
            ASSERT_TRUE(name && name->completer() && model);
            for (int i = 0; i < 500 && !model->index(dir + QStringLiteral("/banner-old.bnr")).isValid(); ++i)
                QTest::qWait(10);
            QTest::keyClicks(name, prefix);
            QAbstractItemView *popup = name->completer()->popup();
            for (int i = 0; i < 500 && !popup->isVisible(); ++i)
                QTest::qWait(10);
            popupShown = popup->isVisible();
            if (pick)
                QTest::keyClick(popup, Qt::Key_Down);
            QTest::keyClick(popup, Qt::Key_Return);
            for (int i = 0; i < 500 && d->isVisible(); ++i)
                QTest::qWait(10);
        });
    };
    bool shown = false;
    auto seen = typePrefix(dir + QStringLiteral("/banner"), false, shown);
    std::optional<Prompts::FileChoice> chosen = prompts.SaveFile(options);
    EXPECT_TRUE(*seen);
    EXPECT_TRUE(shown);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, dir + QStringLiteral("/banner.bnr"));
    EXPECT_EQ(overwriteAsked, 0);

    shown = false;
    seen = typePrefix(QStringLiteral("banner"), true, shown);
    chosen = prompts.SaveFile(options);
    EXPECT_TRUE(*seen);
    EXPECT_TRUE(shown);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, dir + QStringLiteral("/banner-old.bnr"));
    EXPECT_EQ(overwriteAsked, 1);
}

TEST(AboutDialog, IconAndProductLineOpenTheHomePage)
{
    const QString dir = TestSupport::NewTempDir();
    const QString out = dir + QStringLiteral("/args");
    const QString browser = dir + QStringLiteral("/browser");
    TestSupport::WriteFile(browser, "#!/bin/sh\necho \"$1\" >> '" + out.toUtf8() + "'\n");
    QFile::setPermissions(browser, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray saved = qgetenv("BROWSER");
    qputenv("BROWSER", browser.toUtf8());

    AboutDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Vellumark"));
    EXPECT_EQ(dialog.Icon()->objectName(), QString::number(IDC_ABOUT_ICON));
    EXPECT_FALSE(dialog.Icon()->pixmap().isNull());
    dialog.show();
    QTest::mouseClick(dialog.Icon(), Qt::LeftButton);
    for (int i = 0; i < 300 && !QFile::exists(out); ++i)
        QTest::qWait(10);
    QTest::mouseClick(dialog.ProductLine(), Qt::LeftButton);
    QByteArray lines;
    for (int i = 0; i < 300 && (lines = TestSupport::ReadFile(out)).count('\n') < 2; ++i)
        QTest::qWait(10);
    qputenv("BROWSER", saved);
    const QByteArray home = AboutDialog::HomePageAddress().toUtf8();
    EXPECT_TRUE(home.startsWith("http"));
    EXPECT_EQ(lines, home + "\n" + home + "\n");
    QPushButton *ok = nullptr;
    for (QPushButton *b : dialog.findChildren<QPushButton *>())
        if (b->text() == QStringLiteral("OK"))
            ok = b;
    ASSERT_TRUE(ok);
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(BrowserFallbackDialog, FieldsAreEmptyUntilSetAndTheAddressIsSelectable)
{
    BrowserFallbackDialog dialog;
    EXPECT_TRUE(dialog.m_address.isEmpty());
    EXPECT_TRUE(dialog.m_message.isEmpty());
    dialog.m_address = QStringLiteral("https://www.example/very/long/address/that/scrolls/horizontally/in/its/field");
    dialog.m_message = QStringLiteral("Could not detect the default browser to access x");
    dialog.show();
    EXPECT_TRUE(LabelTexts(&dialog).contains(QStringLiteral("Please access the web page below for help.")));
    auto *edit = dialog.findChild<QLineEdit *>(QString::number(IDC_FALLBACK_ADDRESS));
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->text(), dialog.m_address);
    EXPECT_EQ(edit->selectedText(), dialog.m_address);
    EXPECT_TRUE(edit->isReadOnly());
}
