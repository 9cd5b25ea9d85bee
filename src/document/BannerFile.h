#pragma once
// The banner file (.bnr): a fixed header, then every frame with its background block and its
// class-tagged item records, all little-endian and byte for byte. Writing never changes the
// document; a read that fails leaves the document as it was.
#include <QByteArray>
#include <QString>
#include <memory>

class ByteReader;
class CBannerDoc;

namespace BannerFile {

enum class ReadResult {
    Ok,
    NotBanner,   // the first 30 bytes lack "Corvanta" or "Banner"
    Version,     // the version words are not 1 and 0
    Dimensions,  // the size is not the document's 468 x 60
    Malformed,   // ends early, bad class tag, unknown class, schema, index or count
    TooLarge,    // the frames would need more memory than the document's context allows
};

// The bytes of the banner file of `doc`.
QByteArray Write(const CBannerDoc &doc);

// Fills `doc` from the bytes. On success the document's previous frames are replaced, a file
// without frames gets one new empty frame and a current-frame index outside the frames is
// clamped; nothing is marked modified. On failure the document is left untouched.
ReadResult Read(CBannerDoc &doc, const QByteArray &bytes);
ReadResult Read(CBannerDoc &doc, const char *data, std::size_t size);
ReadResult Read(CBannerDoc &doc, ByteReader &reader);
// The same from `size` bytes that `bytes` keeps alive (a file's mapping): the picture blocks stay
// there, shared, instead of being copied.
ReadResult Read(CBannerDoc &doc, const std::shared_ptr<const char> &bytes, std::size_t size);

// The message a failed read shows for the file at `path` (the file's name, without folders);
// `budget` is the memory budget a TooLarge file exceeded.
QString ReadFailureMessage(ReadResult result, const QString &path, qint64 budget = 0);

// Reads the file; shows the failure message with the stop icon and returns false on failure
// (also when the file cannot be opened at all).
bool ReadFile(CBannerDoc &doc, const QString &path);

// Writes the banner file to `path`. Only a path whose file name contains ".bnr" (lower-cased) is
// written; for any other (".bnr" only in a folder name) the VKERR_SERZ_NOCODE message is shown,
// nothing is touched and the save fails. The bytes go to a temporary file beside the target that
// replaces it only when complete, keeping its permissions; a symbolic link keeps pointing at the
// new file; a read-only target is not replaced. Every failure shows its message with the stop icon.
bool WriteFile(const CBannerDoc &doc, const QString &path);

// The message for a write refused by its file name.
QString WrongNameMessage();
// The messages for a file that cannot be opened or saved, with the system's reason.
QString CannotOpenMessage(const QString &path, const QString &reason);
QString CannotSaveMessage(const QString &path, const QString &reason);

}
