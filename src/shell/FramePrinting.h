#pragma once
// Printing a banner: its frames as the Frames View lists them (picture and caption per frame),
// scaled to the width of the page, as many whole cells on each page as fit, in frame order.
class CBannerDoc;
class QPrinter;

namespace FramePrinting {
// The printer of the editor's session: Print Setup, Print and Print Preview share it, so the
// choices made in one hold for the others. It goes when the application object does.
QPrinter &SessionPrinter();

// False when the printer cannot be drawn on (nothing printed then).
bool Print(const CBannerDoc &doc, QPrinter &printer);
}
