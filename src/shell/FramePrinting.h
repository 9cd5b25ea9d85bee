#pragma once
// Printing a banner: its frames as the Frames View lists them (picture and caption per frame),
// scaled to the width of the page, as many whole cells on each page as fit, in frame order.
class CBannerDoc;
class QPrinter;

namespace FramePrinting {
// False when the printer cannot be drawn on (nothing printed then).
bool Print(const CBannerDoc &doc, QPrinter &printer);
}
