#include "server/UploadPage.h"

#include "platform/AtomicFile.h"
#include "platform/settings/Settings.h"

namespace {
UploadPrompt *g_uploadPrompt = nullptr;
}

QString UploadPagePath(const QString &vkDir, const QString &loginName)
{
    QString name = loginName;
    for (QChar c : {u'\\', u'/', u':', u'?', u'"', u'<', u'>', u'|'})
        name.replace(c, QLatin1Char('_'));
    return vkDir + QStringLiteral("/Misc/") + (QStringLiteral("u") + name + QStringLiteral(".html")).toLower();
}

std::optional<QString> InstallationFolder()
{
    QString dir;
    if (ReadSettingString(SettingsHive::Machine, QStringLiteral("Software\\Corvanta\\Vellumark"), QStringLiteral("VKDir"),
                          &dir) != 0 || dir.isEmpty())
        return std::nullopt;
    return dir;
}

UploadPageOutcome StoreUploadPage(const QString &loginName, const QByteArray &page, QString *path)
{
    if (page.isEmpty())
        return UploadPageOutcome::Empty;
    const std::optional<QString> dir = InstallationFolder();
    if (!dir)
        return UploadPageOutcome::NoFolder;
    const QString target = UploadPagePath(*dir, loginName);
    if (!AtomicFile::Write(target, page))
        return UploadPageOutcome::NotCreated;
    *path = target;
    return UploadPageOutcome::Stored;
}

QString UploadPageMessage(UploadPageOutcome outcome)
{
    switch (outcome) {
    case UploadPageOutcome::NoFolder: return QStringLiteral("Error reading file name from the registry. Aborting upload.");
    case UploadPageOutcome::NotCreated: return QStringLiteral("Error creating the upload page. Aborting upload.");
    case UploadPageOutcome::Empty: return QStringLiteral("Error uploading file to server.");
    case UploadPageOutcome::Stored: break;
    }
    return QString();
}

int UploadStatusFromWord(const std::optional<QString> &word)
{
    if (!word)
        return -1;
    static const struct {
        const char *word;
        int status;
    } kWords[] = {{"Success", 0}, {"ERR_FILESIZE", -2}, {"ERR_FILEDIM", -3}, {"ERR_FILEFORMAT", -4}};
    for (const auto &w : kWords)
        if (word->compare(QLatin1String(w.word), Qt::CaseInsensitive) == 0)
            return w.status;
    return -1;
}

UploadPrompt &UploadPrompt::Instance()
{
    if (!g_uploadPrompt) {
        static ScriptedUploadPrompt headless;
        g_uploadPrompt = &headless;
    }
    return *g_uploadPrompt;
}

void UploadPrompt::Register(UploadPrompt *prompt)
{
    g_uploadPrompt = prompt;
}

void ScriptedUploadPrompt::Show(const QString &pagePath)
{
    shown.push_back(pagePath);
    if (whileOpen)
        whileOpen(pagePath);
}
