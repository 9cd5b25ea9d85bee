#pragma once
// Pictures, frames and outside tools for the GIF import and export tests.
#include "document/BannerDoc.h"
#include "document/CoreContext.h"
#include "platform/imaging/PackedDib.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace GifTest {

constexpr int kWidth = 468;
constexpr int kHeight = 60;

// A banner-size picture filled with one colour.
QImage Plain(QRgb colour);
// A banner-size picture with a smooth two-dimensional colour ramp and noise: thousands of colours.
QImage Photographic(int seed);
// A frame whose background is the picture.
std::unique_ptr<CBannerFrame> PictureFrame(const QImage &picture, std::uint32_t delay = 100);
// The background picture of a document's frame (RGB32), null without one.
QImage FrameImage(const CBannerDoc &doc, int index);
// The frames of a document as RenderAllFrames draws them.
std::vector<QImage> Rendered(CBannerDoc &doc);
// Replaces the document's frames by frames with these pictures.
void SetFrames(CBannerDoc &doc, const std::vector<QImage> &pictures, std::uint32_t delay = 100);

// Runs ImageMagick's `convert in -coalesce` and returns the frames flattened over `back` (the
// pixels nothing was drawn on, which ImageMagick leaves transparent). Empty on failure.
std::vector<QImage> CoalescedByImageMagick(const QString &gif, QRgb back);
// The background colour ImageMagick reads from the GIF (0 on failure).
QRgb BackgroundByImageMagick(const QString &gif);
// Runs a tool; true when it exits with 0.
bool RunTool(const QString &program, const QStringList &args);
// Peak signal-to-noise ratio of b against a in dB (infinity when equal).
double Psnr(const QImage &a, const QImage &b);
// The first pixel in which two pictures differ, as text, or "" when they are equal.
QString FirstDifference(const QImage &a, const QImage &b);

} // namespace GifTest
