#pragma once
// Making and comparing the pictures of the GIF codec tests.
#include <QImage>
#include <QVector>
#include <functional>
#include <gtest/gtest.h>

// An indexed picture over `palette` whose pixel (x, y) has index(x, y).
inline QImage MakeIndexed(int w, int h, const QVector<QRgb> &palette, const std::function<int(int, int)> &index)
{
    QImage img(w, h, QImage::Format_Indexed8);
    img.setColorTable(palette);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.scanLine(y)[x] = uchar(index(x, y));
    return img;
}

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
