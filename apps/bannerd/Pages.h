#pragma once
// The HTML pages bannerd serves: the personal upload page (sent over the binary protocol and
// shown by the editor) and the result pages of the HTTP side. The editor reads the outcome
// from the result page's VKUpload_Status META element.
#include <QByteArray>
#include <QString>

namespace Pages {
// Status words of the result page.
inline constexpr const char *kSuccess = "Success";
inline constexpr const char *kFileSize = "ERR_FILESIZE";
inline constexpr const char *kFileDim = "ERR_FILEDIM";
inline constexpr const char *kFileFormat = "ERR_FILEFORMAT";
// Not one of the editor's known words: it shows its general error page.
inline constexpr const char *kBadToken = "ERR_SESSION";
inline constexpr const char *kServerError = "ERR_SERVER";

QString HtmlEscape(const QString &text);
// One form, posting one GIF as multipart/form-data to actionUrl.
QByteArray UploadPage(const QString &user, const QString &actionUrl, qint64 maxBytes);
// The result page: the META status word, a heading and a sentence for people, and a link back
// to the upload page (the editor recognises "myback.html" in a link's address).
QByteArray ResultPage(const char *status, const QString &message);
// What a plain browser gets when it follows that link.
QByteArray BackPage();
QByteArray NotFoundPage();
}
