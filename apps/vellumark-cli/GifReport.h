#pragma once
// What `vellumark-cli info FILE --gif-report` prints: the GIF the export writes of the banner,
// page by page.
#include <QJsonObject>

class CBannerDoc;

// Exports the document as Save As would (into a temporary file; the document then holds the
// GIF's frames) and describes the file: its bytes, and for every page the rectangle written,
// the colours shown (the transparent index not counted), the palette (global or own) and its
// size, the page's bytes and its delay. False when the export fails.
bool GifReportJson(CBannerDoc &doc, QJsonObject *report);
