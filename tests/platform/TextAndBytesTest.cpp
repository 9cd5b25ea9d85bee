#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/ByteIO.h"
#include "platform/Colorref.h"
#include "platform/Win1252.h"

#include <QFile>
#include <cstdio>
#include <cstdlib>

TEST(Win1252Test, EveryByteRoundTrips)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = Win1252::Decode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(Win1252::Encode(text), all);
    EXPECT_TRUE(Win1252::CanEncode(text));
}

TEST(Win1252Test, HighRangeMapsToTheRightCharacters)
{
    EXPECT_EQ(Win1252::DecodeByte(0x80), QChar(0x20AC)); // euro sign
    EXPECT_EQ(Win1252::DecodeByte(0x85), QChar(0x2026)); // ellipsis
    EXPECT_EQ(Win1252::DecodeByte(0x92), QChar(0x2019)); // right single quote
    EXPECT_EQ(Win1252::DecodeByte(0x9F), QChar(0x0178)); // Y with diaeresis
    EXPECT_EQ(Win1252::DecodeByte(0xE9), QChar(0x00E9));
    EXPECT_EQ(Win1252::Encode(QString::fromUtf8("€…’Ÿé")), QByteArray("\x80\x85\x92\x9F\xE9"));
}

TEST(Win1252Test, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    const QString text = QString::fromUtf8("a\u4E2Db\U0001F600c");
    EXPECT_FALSE(Win1252::CanEncode(text));
    EXPECT_EQ(Win1252::Encode(text), QByteArray("a?b?c"));
}

TEST(ByteIOTest, LittleEndianRoundTripAndExplicitEndOfData)
{
    ByteWriter w;
    w.U8(0xAB);
    w.U16(0x1234);
    w.U32(0xDEADBEEF);
    w.I32(-2);
    w.F32(468.0f);
    const QByteArray bytes = w.Data();
    ASSERT_EQ(bytes.size(), 15);
    EXPECT_EQ(bytes.left(3), QByteArray("\xAB\x34\x12", 3));
    EXPECT_EQ(bytes.mid(11, 4), QByteArray("\x00\x00\xEA\x43", 4)); // 468.0f

    ByteReader r(bytes);
    EXPECT_EQ(r.U8(), 0xAB);
    EXPECT_EQ(r.U16(), 0x1234);
    EXPECT_EQ(r.U32(), 0xDEADBEEFu);
    EXPECT_EQ(r.I32(), -2);
    EXPECT_EQ(r.F32(), 468.0f);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_FALSE(r.Failed());
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_TRUE(r.Failed());
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(ByteIOTest, ShortReadsFailWithoutReadingPastTheEnd)
{
    const QByteArray three("\x01\x02\x03", 3);
    ByteReader r(three);
    EXPECT_EQ(r.Bytes(4), QByteArray());
    EXPECT_TRUE(r.Failed());
    ByteReader r2(three);
    EXPECT_EQ(r2.U16(), 0x0201);
    EXPECT_FALSE(r2.Skip(2));
    EXPECT_TRUE(r2.Failed());
}

TEST(ByteIOTest, AMappingReadsTheFileAndOneCutShortEndsTheProgramWithItsMessage)
{
    const QString path = TestSupport::NewTempDir() + QStringLiteral("/mapped");
    QByteArray bytes(3 * 4096, 'a');
    bytes[2 * 4096] = 'z';
    ASSERT_TRUE(TestSupport::WriteFile(path, bytes));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::shared_ptr<const char> mapped = MapReadOnly(file.handle(), std::size_t(bytes.size()));
    ASSERT_TRUE(mapped);
    file.close(); // the mapping stays
    EXPECT_EQ(QByteArray(mapped.get(), bytes.size()), bytes);
    EXPECT_FALSE(MapReadOnly(-1, 10));

    // Another program cuts the file short: its last page can no longer be read.
    ASSERT_TRUE(QFile::resize(path, 4096));
    EXPECT_EXIT(
        {
            EndOnUnreadableMapping("the file was cut short\n", 3);
            std::printf("%c", *static_cast<const volatile char *>(mapped.get() + 2 * 4096));
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(3), "the file was cut short");
}

TEST(ColorrefTest, ChannelOrderIsBlueGreenRed)
{
    const COLORREF c = RGB(0x11, 0x22, 0x33);
    EXPECT_EQ(c, 0x00332211u);
    EXPECT_EQ(ColorrefToQColor(c), QColor(0x11, 0x22, 0x33));
    EXPECT_EQ(QColorToColorref(QColor(0x11, 0x22, 0x33)), c);
    EXPECT_EQ(QRgbToColorref(ColorrefToQRgb(0xFF123456u)), 0x00123456u);
}
