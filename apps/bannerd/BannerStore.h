#pragma once
// Checking and keeping uploaded banners. Files go to DIR/<user folder>/<upload time>.gif; the
// user folder is an encoding of the name that can never leave DIR.
#include <QDateTime>
#include <QString>
#include <string_view>

enum class BannerCheck { Ok, TooLarge, NotGif, WrongSize };

// Size first (over maxBytes), then the GIF signature, then the logical screen size, which the
// header carries in its first 10 bytes; a file that passes those is decoded in full, and one
// that does not decode is no GIF.
BannerCheck CheckBanner(std::string_view bytes, std::size_t maxBytes);

class BannerStore {
public:
    explicit BannerStore(QString root) : m_root(std::move(root)) {}

    const QString &Root() const { return m_root; }
    // Creates the root folder; false with a reason when it cannot be made or written.
    bool Prepare(QString *error) const;

    // Folder name for a user: letters, digits, '-', '_' and inner '.' stay, every other byte of
    // the UTF-8 name becomes %XX, so "..", "/" and the like cannot name anything but a folder
    // inside the root. Long names are cut and tagged with a hash of the whole name, which keeps
    // them unique within the file system's name limit.
    static QString UserFolderName(const QString &user);
    // File name for an upload at a given time: 20261208T163655.123Z.gif (UTC).
    static QString UploadFileName(const QDateTime &when, int attempt);

    // Writes the banner whole or not at all (temporary file, then link into place without
    // overwriting). Safe from several threads at once. Returns the stored path, or empty.
    QString Store(const QString &user, std::string_view bytes, const QDateTime &when, QString *error) const;

private:
    QString m_root;
};
