// The text item's logical-font record: its 60-byte layout, the default 10-point font and the
// face-name bytes that travel unchanged.
#include "items/LogFont.h"

#include <gtest/gtest.h>

TEST(LogFontTest, DefaultIsTenPointArialAtNinetySixDpi)
{
    const LOGFONT lf = DefaultTextLogFont();
    EXPECT_EQ(lf.lfHeight, -13);
    EXPECT_EQ(lf.FaceName(), QStringLiteral("Arial"));
    EXPECT_EQ(lf.lfOutPrecision, 4);
    EXPECT_EQ(lf.lfClipPrecision, 0);
    EXPECT_EQ(lf.lfQuality, 2);
    EXPECT_EQ(lf.lfPitchAndFamily, 0x22);
    EXPECT_EQ(lf.lfWeight, 0);
    EXPECT_EQ(lf.lfWidth, 0);
    EXPECT_EQ(lf.lfItalic + lf.lfUnderline + lf.lfStrikeOut + lf.lfCharSet, 0);
    // Everything after "Arial" and its terminator is zero.
    for (int i = 5; i < LOGFONT::kFaceSize; ++i)
        EXPECT_EQ(lf.lfFaceName[std::size_t(i)], '\0') << i;
}

TEST(LogFontTest, BytesAreLittleEndianInFieldOrder)
{
    LOGFONT lf = DefaultTextLogFont();
    lf.lfWidth = 0x01020304;
    lf.lfWeight = 700;
    lf.lfItalic = 1;
    lf.lfStrikeOut = 1;
    lf.lfCharSet = 0xEE;
    const QByteArray b = lf.ToBytes();
    ASSERT_EQ(b.size(), 60);
    const QByteArray head = QByteArray::fromHex("f3ffffff" "04030201" "00000000" "00000000" "bc020000"
                                                "01" "00" "01" "ee" "04" "00" "02" "22");
    EXPECT_EQ(b.left(28), head);
    EXPECT_EQ(b.mid(28, 6), QByteArray("Arial\0", 6));
}

TEST(LogFontTest, FaceNameTailSurvivesRoundTripAndRenaming)
{
    QByteArray bytes = DefaultTextLogFont().ToBytes();
    // A record from a file: "Times" then leftover bytes of an older, longer name.
    const QByteArray face("Times\0 New Roman\0garbage\x01\x02\x03\x04\x05\x06\x07", 32);
    bytes.replace(28, 32, face);
    LOGFONT lf;
    ASSERT_TRUE(lf.FromBytes(bytes.constData(), std::size_t(bytes.size())));
    EXPECT_EQ(lf.FaceName(), QStringLiteral("Times"));
    EXPECT_EQ(lf.ToBytes(), bytes);

    // Renaming writes the name and its terminator; what lies after stays as it was.
    lf.SetFaceName(QStringLiteral("Ab"));
    const QByteArray renamed = lf.ToBytes();
    EXPECT_EQ(renamed.mid(28, 3), QByteArray("Ab\0", 3));
    EXPECT_EQ(renamed.mid(31), bytes.mid(31));

    // A face name of 32 bytes without terminator reads in full; a long new name is cut to 31.
    LOGFONT full;
    std::fill(full.lfFaceName.begin(), full.lfFaceName.end(), 'x');
    EXPECT_EQ(full.FaceName().size(), 32);
    full.SetFaceName(QString(40, QChar('y')));
    EXPECT_EQ(full.FaceName(), QString(31, QChar('y')));

    LOGFONT untouched = DefaultTextLogFont();
    EXPECT_FALSE(untouched.FromBytes(bytes.constData(), 59));
    EXPECT_EQ(untouched, DefaultTextLogFont());
}

TEST(LogFontTest, MulDivRoundsToNearest)
{
    EXPECT_EQ(MulDiv(10, 96, 72), 13);   // 13.33
    EXPECT_EQ(MulDiv(-13, 72, 96), -10); // -9.75
    EXPECT_EQ(MulDiv(24, 96, 72), 32);
    EXPECT_EQ(MulDiv(3, 1, 2), 2);       // halves away from zero
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(MulDiv(5, 5, 0), -1);
}
