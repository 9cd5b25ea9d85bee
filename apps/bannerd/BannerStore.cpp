#include "BannerStore.h"

#include "platform/imaging/GifCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <sodium.h>

#include <cerrno>
#include <semaphore>
#include <cstring>
#include <unistd.h>

namespace {
constexpr int kBannerWidth = 468;
constexpr int kBannerHeight = 60;
constexpr int kMaxFolderName = 160; // well inside the common 255-byte limit

int U16At(std::string_view bytes, std::size_t at)
{
    return int(static_cast<unsigned char>(bytes[at])) | int(static_cast<unsigned char>(bytes[at + 1])) << 8;
}
} // namespace

BannerCheck CheckBanner(std::string_view bytes, std::size_t maxBytes)
{
    if (bytes.size() > maxBytes)
        return BannerCheck::TooLarge;
    // Signature (6 bytes) and logical screen descriptor (7 bytes) must both be there.
    if (bytes.size() < 13 || (bytes.substr(0, 6) != "GIF87a" && bytes.substr(0, 6) != "GIF89a"))
        return BannerCheck::NotGif;
    if (U16At(bytes, 6) != kBannerWidth || U16At(bytes, 8) != kBannerHeight)
        return BannerCheck::WrongSize;
    // A sound header says nothing about the rest: decode every page before calling it a banner.
    // Decoding can take tens of MiB for a hostile file, so only a few run at once.
    static std::counting_semaphore<> decoders(2);
    decoders.acquire();
    GifCodec::Animation animation;
    const int result = GifCodec::Read(QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size())), &animation);
    decoders.release();
    return result == GifCodec::Ok && !animation.pages.empty() ? BannerCheck::Ok : BannerCheck::NotGif;
}

bool BannerStore::Prepare(QString *error) const
{
    const bool existed = QFileInfo::exists(m_root);
    if (!QDir().mkpath(m_root)) {
        *error = QStringLiteral("cannot create the data folder %1").arg(m_root);
        return false;
    }
    // Banners are the users' own until published: a folder we make is for the server alone.
    if (!existed)
        QFile::setPermissions(m_root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!QFileInfo(m_root).isWritable()) {
        *error = QStringLiteral("the data folder %1 is not writable").arg(m_root);
        return false;
    }
    return true;
}

QString BannerStore::UserFolderName(const QString &user)
{
    const QByteArray utf8 = user.toUtf8();
    QString name;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
            || c == '_' || (c == '.' && i > 0);
        if (plain)
            name += QLatin1Char(char(c));
        else
            name += QStringLiteral("%%1").arg(uint(c), 2, 16, QLatin1Char('0')).toUpper();
    }
    if (name.isEmpty())
        return QStringLiteral("%00"); // no real account has an empty name; keep it a folder anyway
    if (name.size() <= kMaxFolderName)
        return name;
    unsigned char digest[8];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char *>(utf8.constData()),
                       std::size_t(utf8.size()), nullptr, 0);
    qsizetype cut = kMaxFolderName - 1 - 2 * qsizetype(sizeof digest);
    // Never split a %XX escape.
    if (name[cut - 1] == QLatin1Char('%'))
        cut -= 1;
    else if (name[cut - 2] == QLatin1Char('%'))
        cut -= 2;
    return name.left(cut) + QLatin1Char('~')
        + QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), sizeof digest).toHex());
}

QString BannerStore::UploadFileName(const QDateTime &when, int attempt)
{
    QString name = when.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss.zzz'Z'"));
    if (attempt > 0)
        name += QStringLiteral("-%1").arg(attempt);
    return name + QStringLiteral(".gif");
}

QString BannerStore::Store(const QString &user, std::string_view bytes, const QDateTime &when, QString *error) const
{
    const QString folder = m_root + QLatin1Char('/') + UserFolderName(user);
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create %1").arg(folder);
        return {};
    }
    QTemporaryFile temp(folder + QStringLiteral("/.upload-XXXXXX"));
    if (!temp.open()) {
        *error = QStringLiteral("cannot write in %1: %2").arg(folder, temp.errorString());
        return {};
    }
    if (temp.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !temp.flush()
        || ::fsync(temp.handle()) != 0) {
        *error = QStringLiteral("cannot write %1: %2").arg(temp.fileName(), temp.errorString());
        return {};
    }
    const QByteArray tempPath = QFile::encodeName(temp.fileName());
    // link() refuses an existing name atomically, so two uploads in the same millisecond both stay.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString target = folder + QLatin1Char('/') + UploadFileName(when, attempt);
        if (::link(tempPath.constData(), QFile::encodeName(target).constData()) == 0)
            return target; // the temporary name goes away with `temp`
        if (errno != EEXIST) {
            *error = QStringLiteral("cannot store %1: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno)));
            return {};
        }
    }
    *error = QStringLiteral("too many uploads at the same moment in %1").arg(folder);
    return {};
}
