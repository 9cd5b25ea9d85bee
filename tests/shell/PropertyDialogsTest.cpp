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
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <tuple>

namespace {
void Press(QWidget *dialog, const char *text)
{
    QPushButton *b = ShellTest::ButtonWithText(dialog, QLatin1String(text));
    ASSERT_TRUE(b) << text;
    QTest::mouseClick(b, Qt::LeftButton);
}

QImage DrawnAt(const CSprite &item, float zoom)
{
    ImagingControl ctrl;
    ctrl.CreateBitmap(468, 120);
    ctrl.SetZoomPercent(zoom);
    ctrl.SetDrawPersistent(true);
    item.Clone()->Draw(ctrl);
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

    // The same edits, cancelled then accepted; Enter starts a new line instead of pressing OK.
    for (bool ok : {false, true}) {
        d.prompts.fontChoices.push_back(font);
        d.prompts.colorChoices.push_back(RGB(200, 0, 0));
        EXPECT_EQ(ok, ShellTest::EditWith<TextPropertiesDialog>(item, [&](TextPropertiesDialog *dialog) {
            QPlainTextEdit *edit = dialog->TextEdit();
            EXPECT_TRUE(edit->hasFocus());
            EXPECT_EQ(edit->textCursor().selectedText(), QStringLiteral("old"));
            EXPECT_TRUE(dialog->FontLabel()->text().startsWith(QStringLiteral("Arial, 10 pt")));
            QTest::mouseClick(dialog->findChild<QPushButton *>(QString::number(IDC_TEXT_FONT)), Qt::LeftButton);
            EXPECT_EQ(dialog->FontLabel()->text(), QStringLiteral("Liberation Serif, 24 pt"));
            QTest::mouseClick(dialog->findChild<QPushButton *>(QString::number(IDC_TEXT_COLOR)), Qt::LeftButton);
            QTest::keyClicks(edit, QStringLiteral("one"));
            QTest::keyClick(edit, Qt::Key_Return);
            QTest::keyClicks(edit, QStringLiteral("two"));
            Press(dialog, ok ? "OK" : "Cancel");
        }));
        if (!ok) {
            EXPECT_EQ(std::tie(item.m_text, item.m_logFont, item.m_lineColor, item.m_penWidth),
                      std::tie(before.m_text, before.m_logFont, before.m_lineColor, before.m_penWidth));
        }
    }
    // OK: lines kept with their breaks, the last colour chosen wins, the size follows the font.
    EXPECT_EQ(item.m_text, QStringLiteral("one\r\ntwo"));
    EXPECT_EQ(item.m_lineColor, RGB(200, 0, 0));
    const LOGFONT &lf = item.m_logFont;
    EXPECT_EQ(lf.FaceName(), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(std::make_tuple(lf.lfHeight, lf.lfWeight, lf.lfItalic, lf.lfUnderline, lf.lfStrikeOut),
              std::make_tuple(-32, 700, 1, 1, 1));
    EXPECT_EQ(item.m_penWidth, 24);
    // At 200 % the 24-point text is drawn exactly as 48-point text at 100 %.
    std::unique_ptr<CSprite> twice = item.Clone();
    twice->m_penWidth = 48;
    twice->m_position = CRect(0, 0, 800, 200);
    EXPECT_EQ(DrawnAt(item, 200.0f), DrawnAt(*twice, 100.0f));

    // A missing face is named with the installed face drawn instead; a positive height gives a positive size.
    item.m_logFont.SetFaceName(QStringLiteral("No Such Face Vellumark"));
    item.m_logFont.lfHeight = 16;
    TextPropertiesDialog dialog(item);
    const QString shown = dialog.FontLabel()->text();
    ASSERT_TRUE(shown.startsWith(QStringLiteral("No Such Face Vellumark, 12 pt (drawn with "))) << shown.toStdString();
    EXPECT_TRUE(QFontDatabase::families().contains(shown.section(QStringLiteral("drawn with "), 1).chopped(1)));
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
        EXPECT_FALSE(dialog->FillCheck()->isEnabled());
        EXPECT_FALSE(dialog->FillColorButton()->isVisible());
        QLineEdit *width = dialog->WidthEdit();
        EXPECT_EQ(width->text(), QStringLiteral("3"));
        for (const char *refused : {"0", "21", ""}) {
            width->setText(QLatin1String(refused));
            Press(dialog, "OK");
            EXPECT_TRUE(dialog->isVisible()) << refused;
            EXPECT_TRUE(width->hasFocus());
            EXPECT_EQ(width->selectedText(), QLatin1String(refused));
        }
        EXPECT_TRUE(d.prompts.WasShown(QStringLiteral("Please enter an integer between 1 and 20."), Prompts::Icon::Warning));
        EXPECT_TRUE(d.prompts.WasShown(QStringLiteral("Please enter an integer."), Prompts::Icon::Warning));
        QTest::keyClicks(width, QStringLiteral("2x0"));
        Press(dialog, "OK");
    }));
    EXPECT_EQ(line.m_penWidth, 20);

    // A box: colours, fill and width change the item on OK only.
    CPrimitiveGraphics box(CRect(0, 0, 50, 50));
    box.m_lineColor = RGB(1, 1, 1);
    box.m_fillColor = RGB(2, 2, 2);
    box.m_fill = 0;
    box.m_penWidth = 5;
    for (bool ok : {false, true}) {
        d.prompts.colorChoices = {RGB(10, 20, 30), RGB(40, 50, 60)};
        EXPECT_EQ(ok, ShellTest::EditWith<ItemPropertiesDialog>(box, [&](ItemPropertiesDialog *dialog) {
            EXPECT_EQ(dialog->FillColorButton()->GetColor(), RGB(2, 2, 2));
            QTest::mouseClick(dialog->LineColorButton(), Qt::LeftButton);
            QTest::mouseClick(dialog->FillColorButton(), Qt::LeftButton);
            QTest::mouseClick(dialog->FillCheck(), Qt::LeftButton);
            dialog->WidthEdit()->setText(QStringLiteral("1"));
            Press(dialog, ok ? "OK" : "Cancel");
        }));
        EXPECT_EQ(std::make_tuple(box.m_fill, box.m_lineColor, box.m_fillColor, box.m_penWidth),
                  ok ? std::make_tuple(1, RGB(10, 20, 30), RGB(40, 50, 60), 1) : std::make_tuple(0, RGB(1, 1, 1), RGB(2, 2, 2), 5));
    }
}

TEST(QtPrompts, FontDialogKeepsAFaceTheUserLeftAndShowsWeightZeroAsRegular)
{
    // The installed face drawn for Arial stays "Arial" when the user only changes the size.
    auto seen = ShellTest::OnNextModal<QFontDialog>([](QFontDialog *dialog) {
        QFont f = dialog->currentFont();
        EXPECT_EQ(f.weight(), QFont::Normal);
        f.setPointSize(18);
        dialog->setCurrentFont(f);
        dialog->accept();
    });
    const std::optional<Prompts::FontChoice> chosen =
        QtPrompts(nullptr).ChooseFont({QStringLiteral("Arial"), -13, 0, false, false, false, RGB(1, 2, 3)});
    EXPECT_TRUE(*seen);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(std::make_tuple(chosen->face, chosen->height, chosen->weight, chosen->color),
              std::make_tuple(QStringLiteral("Arial"), -24, 400, RGB(1, 2, 3)));
}
