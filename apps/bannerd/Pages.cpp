#include "Pages.h"

namespace {
QByteArray Document(const QString &title, const QString &head, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n%1<title>%2</title>\n"
                          "<style>body{font-family:sans-serif;margin:1.5em}</style></head>\n"
                          "<body>\n%3</body></html>\n")
        .arg(head, Pages::HtmlEscape(title), body)
        .toUtf8();
}

QString SizeText(qint64 bytes)
{
    if (bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    if (bytes % 1024 == 0)
        return QStringLiteral("%1 KiB").arg(bytes / 1024);
    return QStringLiteral("%1 bytes").arg(bytes);
}
} // namespace

QString Pages::HtmlEscape(const QString &text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QStringLiteral("&#39;"));
}

QByteArray Pages::UploadPage(const QString &user, const QString &actionUrl, qint64 maxBytes)
{
    const QString body =
        QStringLiteral("<h1>Upload a banner</h1>\n"
                       "<p>Signed in as <b>%1</b>.</p>\n"
                       "<form method=\"post\" enctype=\"multipart/form-data\" action=\"%2\">\n"
                       "<p><input type=\"file\" name=\"banner\" accept=\"image/gif\"></p>\n"
                       "<p><input type=\"submit\" value=\"Upload\"></p>\n"
                       "</form>\n"
                       "<p>The banner must be a GIF of 468 &times; 60 pixels and at most %3.</p>\n")
            .arg(HtmlEscape(user), HtmlEscape(actionUrl), SizeText(maxBytes));
    return Document(QStringLiteral("Vellumark banner upload"), QString(), body);
}

QByteArray Pages::ResultPage(const char *status, const QString &message)
{
    const bool success = QByteArray(status) == kSuccess;
    const QString head = QStringLiteral("<meta name=\"VKUpload_Status\" content=\"%1\">\n").arg(QLatin1String(status));
    const QString body = QStringLiteral("<h1>%1</h1>\n<p>%2</p>\n<p><a href=\"/myback.html\">%3</a></p>\n")
                             .arg(success ? QStringLiteral("Banner uploaded") : QStringLiteral("Upload failed"),
                                  HtmlEscape(message),
                                  success ? QStringLiteral("Upload another banner") : QStringLiteral("Try again"));
    return Document(success ? QStringLiteral("Upload succeeded") : QStringLiteral("Upload failed"), head, body);
}

QByteArray Pages::BackPage()
{
    return Document(QStringLiteral("Vellumark banner upload"), QString(),
                    QStringLiteral("<p>To upload another banner, choose Upload GIF in Vellumark's Server menu.</p>\n"));
}

QByteArray Pages::NotFoundPage()
{
    return Document(QStringLiteral("Not found"), QString(), QStringLiteral("<p>There is nothing here.</p>\n"));
}
