#pragma once
// The description `vellumark-cli info --json` prints: the document's header fields and every
// frame and item as stored.
#include <QJsonObject>

class CBannerDoc;

QJsonObject BannerInfoJson(const CBannerDoc &doc);
