#pragma once
// Comparing the pictures of the GIF codec tests.
#include <QImage>
#include <gtest/gtest.h>

// Compares colours where both are opaque and requires the same transparency.
inline ::testing::AssertionResult SamePicture(const QImage &expected, QImage actual)
{
    actual = actual.convertToFormat(QImage::Format_ARGB32);
    if (expected.size() != actual.size())
        return ::testing::AssertionFailure() << "size differs";
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb e = expected.pixel(x, y), a = actual.pixel(x, y);
            const bool et = qAlpha(e) == 0, at = qAlpha(a) == 0;
            if (et != at || (!et && (e & 0xffffff) != (a & 0xffffff)))
                return ::testing::AssertionFailure()
                    << "pixel " << x << "," << y << " expected " << std::hex << e << " got " << a;
        }
    return ::testing::AssertionSuccess();
}
