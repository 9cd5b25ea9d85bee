// The item property dialogs as the items open them through EditProperties.
#include "ShellTestSupport.h"
#include "editor/ItemPropertiesDialog.h"
#include "editor/TextPropertiesDialog.h"
#include "items/PrimitiveGraphics.h"
#include "items/Text.h"
#include "platform/imaging/ImagingControl.h"
#include "platform/widgets/CColorButton.h"
#include "resource.h"
#include "shell/QtPrompts.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QPushButton *Button(QWidget *dialog, int id)
{
    return dialog->findChild<QPushButton *>(QString::number(id));
}

QPushButton *ButtonText(QWidget *dialog, const char *text)
{
    QPushButton *b = ShellTest::ButtonWithText(dialog, QLatin1String(text));
    EXPECT_TRUE(b) << text;
    return b;
}

QImage DrawnAt(const CText &item, float zoom)
{
    ImagingControl ctrl;
    ctrl.CreateBitmap(468, 120);
    ctrl.SetZoomPercent(zoom);
    ctrl.SetDrawPersistent(true);
    item.Clone()->Draw(ctrl);
    EXPECT_EQ(ctrl.Font().Size, zoom == 200.0f ? 48 : item.m_penWidth);
    return ctrl.GetBitmapDC()->copy();
}
} // namespace

TEST(TextPropertiesDialog, EditsCopiesOfTextFontAndColourThatReachTheItemOnlyOnOk)
{
    ShellTest::DialogFixture d;
    CText item(CRect(0, 0, 400, 100));
    item.m_text = QStringLiteral("old");
    item.m_lineColor = RGB(1, 2, 3);
    const std::unique_ptr<CSprite> copy = item.Clone();
    const CText &before = static_cast<const CText &>(*copy);
    const Prompts::FontChoice font{QStringLiteral("Liberation Serif"), -32, 700, true, true, true, RGB(0, 128, 0)};

    // Cancel after changing everything leaves the item exactly as it was.
    for (bool ok : {false, true}) {
        d.prompts.fontChoices.push_back(font);
        d.prompts.colorChoices.push_back(RGB(200, 0, 0));
        const bool result = ShellTest::EditWith<TextPropertiesDialog>(item, [&](TextPropertiesDialog *dialog) {
            EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Text Properties"));
            QPlainTextEdit *edit = dialog->TextEdit();
            EXPECT_TRUE(edit->hasFocus());
            EXPECT_EQ(edit->textCursor().selectedText(), QStringLiteral("old"));
            EXPECT_TRUE(dialog->FontLabel()->text().startsWith(QStringLiteral("Arial, 10 pt")));
            QTest::mouseClick(Button(dialog, IDC_TEXT_FONT), Qt::LeftButton);
            EXPECT_EQ(dialog->FontLabel()->text(), QStringLiteral("Liberation Serif, 24 pt"));
            QTest::mouseClick(Button(dialog, IDC_TEXT_COLOR), Qt::LeftButton);
            // Enter starts a new line instead of pressing OK.
            QTest::keyClicks(edit, QStringLiteral("one"));
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClicks(edit, QStringLiteral("two"));
            EXPECT_TRUE(dialog->isVisible());
            QTest::mouseClick(ButtonText(dialog, ok ? "OK" : "Cancel"), Qt::LeftButton);
        });
        EXPECT_EQ(result, ok);
        if (!ok) {
            EXPECT_EQ(item.m_text, before.m_text);
            EXPECT_EQ(item.m_logFont, before.m_logFont);
            EXPECT_EQ(item.m_lineColor, before.m_lineColor);
            EXPECT_EQ(item.m_penWidth, before.m_penWidth);
        }
    }
    // OK: lines kept with their breaks, the last colour chosen wins, the size follows the font.
    EXPECT_EQ(item.m_text, QStringLiteral("one\r\ntwo"));
    EXPECT_EQ(item.m_lineColor, RGB(200, 0, 0));
    EXPECT_EQ(item.m_logFont.FaceName(), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(item.m_logFont.lfHeight, -32);
    EXPECT_EQ(item.m_logFont.lfWeight, 700);
    EXPECT_EQ(item.m_logFont.lfItalic, 1);
    EXPECT_EQ(item.m_logFont.lfUnderline, 1);
    EXPECT_EQ(item.m_logFont.lfStrikeOut, 1);
    EXPECT_EQ(item.m_penWidth, 24);
    // At 200 % the 24-point text is drawn exactly as 48-point text at 100 %.
    std::unique_ptr<CSprite> twice = item.Clone();
    twice->m_penWidth = 48;
    twice->m_position = CRect(0, 0, 800, 200);
    EXPECT_EQ(DrawnAt(item, 200.0f), DrawnAt(static_cast<CText &>(*twice), 100.0f));

    // A face the machine lacks is named with the installed face the text is drawn with; a
    // positive (cell) height still gives a positive size.
    item.m_logFont.SetFaceName(QStringLiteral("No Such Face Vellumark"));
    item.m_logFont.lfHeight = 16;
    TextPropertiesDialog dialog(item);
    const QString shown = dialog.FontLabel()->text();
    ASSERT_TRUE(shown.startsWith(QStringLiteral("No Such Face Vellumark, 12 pt (drawn with "))) << shown.toStdString();
    const QString used = shown.section(QStringLiteral("drawn with "), 1).chopped(1);
    EXPECT_TRUE(QFontDatabase::families().contains(used)) << used.toStdString();
    dialog.accept();
    EXPECT_EQ(item.m_penWidth, 12);
}

TEST(ItemPropertiesDialog, OffersTheFillOnlyWhereItCanFillAndTakesWidthsFromOneToTwenty)
{
    ShellTest::DialogFixture d;
    CPrimitiveGraphics line(CRect(0, 0, 50, 50));
    line.m_shape = CPrimitiveGraphics::kLine;
    line.m_penWidth = 3;
    EXPECT_TRUE(ShellTest::EditWith<ItemPropertiesDialog>(line, [&](ItemPropertiesDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Item properties"));
        EXPECT_FALSE(dialog->FillCheck()->isEnabled());
        EXPECT_FALSE(dialog->FillColorLabel()->isEnabled());
        EXPECT_FALSE(dialog->FillGroup()->isEnabled());
        EXPECT_FALSE(dialog->FillColorButton()->isVisible());
        EXPECT_TRUE(dialog->LineColorButton()->isVisible());
        QLineEdit *width = dialog->WidthEdit();
        EXPECT_EQ(width->text(), QStringLiteral("3"));
        for (const char *refused : {"0", "21", ""}) {
            width->setText(QLatin1String(refused));
            QTest::mouseClick(ButtonText(dialog, "OK"), Qt::LeftButton);
            EXPECT_TRUE(dialog->isVisible()) << refused;
            EXPECT_TRUE(width->hasFocus());
            EXPECT_EQ(width->selectedText(), QLatin1String(refused));
        }
        EXPECT_TRUE(d.prompts.WasShown(QStringLiteral("Please enter an integer between 1 and 20."), Prompts::Icon::Warning));
        EXPECT_TRUE(d.prompts.WasShown(QStringLiteral("Please enter an integer."), Prompts::Icon::Warning));
        QTest::keyClicks(width, QStringLiteral("2x0"));
        QTest::mouseClick(ButtonText(dialog, "OK"), Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible());
    }));
    EXPECT_EQ(line.m_penWidth, 20);

    CPrimitiveGraphics box(CRect(0, 0, 50, 50));
    box.m_lineColor = RGB(1, 1, 1);
    box.m_fillColor = RGB(2, 2, 2);
    box.m_fill = 0;
    box.m_penWidth = 5;
    for (bool ok : {false, true}) {
        d.prompts.colorChoices = {RGB(10, 20, 30), RGB(40, 50, 60)};
        const bool result = ShellTest::EditWith<ItemPropertiesDialog>(box, [&](ItemPropertiesDialog *dialog) {
            EXPECT_TRUE(dialog->FillCheck()->isEnabled());
            EXPECT_TRUE(dialog->FillColorButton()->isVisible());
            EXPECT_EQ(dialog->FillColorButton()->GetColor(), RGB(2, 2, 2));
            QTest::mouseClick(dialog->LineColorButton(), Qt::LeftButton);
            QTest::mouseClick(dialog->FillColorButton(), Qt::LeftButton);
            EXPECT_EQ(dialog->LineColorButton()->GetColor(), RGB(10, 20, 30));
            QTest::mouseClick(dialog->FillCheck(), Qt::LeftButton);
            dialog->WidthEdit()->setText(QStringLiteral("1"));
            QTest::mouseClick(ButtonText(dialog, ok ? "OK" : "Cancel"), Qt::LeftButton);
        });
        EXPECT_EQ(result, ok);
        EXPECT_EQ(box.m_fill, ok ? 1 : 0);
        EXPECT_EQ(box.m_lineColor, ok ? RGB(10, 20, 30) : RGB(1, 1, 1));
        EXPECT_EQ(box.m_fillColor, ok ? RGB(40, 50, 60) : RGB(2, 2, 2));
        EXPECT_EQ(box.m_penWidth, ok ? 1 : 5);
    }
}

TEST(QtPrompts, FontDialogKeepsAFaceTheUserLeftAndShowsWeightZeroAsRegular)
{
    QtPrompts prompts(nullptr);
    Prompts::FontChoice initial{QStringLiteral("Arial"), -13, 0, false, false, false, RGB(1, 2, 3)};
    // The installed face drawn for Arial stays "Arial" when the user only changes the size.
    auto seen = ShellTest::OnNextModal<QFontDialog>([](QFontDialog *dialog) {
        EXPECT_EQ(dialog->currentFont().weight(), QFont::Normal);
        QFont f = dialog->currentFont();
        f.setPointSize(18);
        dialog->setCurrentFont(f);
        dialog->accept();
    });
    const std::optional<Prompts::FontChoice> chosen = prompts.ChooseFont(initial);
    EXPECT_TRUE(*seen);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->face, QStringLiteral("Arial"));
    EXPECT_EQ(chosen->height, -24);
    EXPECT_EQ(chosen->weight, 400);
    EXPECT_EQ(chosen->color, RGB(1, 2, 3));
}
