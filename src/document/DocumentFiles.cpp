// Opening and saving of a banner document: which road a path takes, the Save and Save As
// commands and their messages.
#include "document/BannerDoc.h"
#include "document/BannerFile.h"
#include "document/CoreContext.h"
#include "platform/AtomicFile.h"
#include "platform/Prompts.h"

#include <QFileInfo>

namespace {

bool IsBannerPath(const QString &path)
{
    return path.toLower().contains(QStringLiteral(".bnr"));
}

// The path Save As writes for a name chosen with a filter: a name without an extension takes
// that of the banner or the GIF filter.
QString SaveAsPath(const QString &name, int filterIndex)
{
    if (!QFileInfo(name).suffix().isEmpty())
        return name;
    if (filterIndex == 1)
        return name + QStringLiteral(".bnr");
    if (filterIndex == 2)
        return name + QStringLiteral(".gif");
    return name;
}

bool SavesGif(const QString &name, int filterIndex)
{
    const QString lower = SaveAsPath(name, filterIndex).toLower();
    return lower.contains(QStringLiteral(".gif")) && !lower.contains(QStringLiteral(".bnr"));
}

// The save dialog of both Save roads: the folder must exist, replacing a file is asked first.
// Empty when the user cancelled.
std::optional<Prompts::FileChoice> AskSavePath(const QString &filter, const QString &defaultExt = {},
                                               bool gifOptions = false)
{
    Prompts::FileDialog options;
    options.filter = filter;
    options.defaultExt = defaultExt;
    if (gifOptions)
        options.savesGif = SavesGif;
    options.overwritePrompt = true;
    options.pathMustExist = true;
    auto choice = Prompts::Instance().SaveFile(options);
    if (!choice || choice->path.isEmpty())
        return std::nullopt;
    return choice;
}

} // namespace

QString CBannerDoc::SaveAsFilter()
{
    return QStringLiteral("Banner files (*.bnr)|*.bnr|GIF files (*.gif)|*.gif|All files (*.*)|*.*||");
}

QString CBannerDoc::InvalidExtensionMessage()
{
    return QStringLiteral("Invalid file extension. Please save as either a \".gif\" or a \".bnr\" file.");
}

bool CBannerDoc::OnOpenDocument(const QString &path)
{
    const QString lower = path.toLower();
    if (!lower.contains(QStringLiteral(".bnr")) && !lower.contains(QStringLiteral(".gif"))) {
        const QFileInfo info(path);
        const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
        Prompts::Instance().Message(QStringLiteral("Cannot open the file %1%2 \n The file is neither a BANNER(.bnr) "
                                                   "file nor a GIF (.gif) file.")
                                        .arg(info.completeBaseName(), suffix),
                                    Prompts::Icon::Stop);
        return false;
    }
    bool ok = false;
    if (QFileInfo(path).fileName().toLower().contains(QStringLiteral(".bnr")))
        ok = BannerFile::ReadFile(*this, path);
    else
        ok = m_context.gifFiles ? m_context.gifFiles->ReadGif(*this, path) : ReadGif(path);
    if (!ok)
        return false;
    SetPathName(path);
    SetModifiedFlag(false);
    m_history->Reset();
    return true;
}

bool CBannerDoc::OnSaveDocument(const QString &path)
{
    bool ok = false;
    if (IsBannerPath(path))
        ok = BannerFile::WriteFile(*this, path);
    else
        ok = m_context.gifFiles ? m_context.gifFiles->SaveAsGif(*this, path) : SaveAsGif(path);
    if (ok) {
        SetModifiedFlag(false);
        m_history->MarkSaved();
    }
    return ok;
}

bool CBannerDoc::OnFileSave()
{
    const QFileInfo info(m_strPathName);
    // A never-saved document, a file that is gone and a read-only file all take the Save As road.
    if (m_strPathName.isEmpty() || !info.exists() || AtomicFile::IsReadOnly(m_strPathName))
        return OnFileSaveAs();
    return OnSaveDocument(m_strPathName);
}

bool CBannerDoc::OnFileSaveAs()
{
    const auto choice = AskSavePath(SaveAsFilter(), {}, true);
    if (!choice)
        return false;
    const QString path = SaveAsPath(choice->path, choice->filterIndex);
    const QString lower = path.toLower();
    if (!lower.contains(QStringLiteral(".gif")) && !lower.contains(QStringLiteral(".bnr"))) {
        Prompts::Instance().Message(InvalidExtensionMessage(), Prompts::Icon::Stop);
        return false;
    }
    return SaveToNewPath(path);
}

bool CBannerDoc::DoFileSave()
{
    const QFileInfo info(m_strPathName);
    if (!m_strPathName.isEmpty() && info.exists() && !AtomicFile::IsReadOnly(m_strPathName))
        return OnSaveDocument(m_strPathName);
    // The document type's own filter and extension, as when the framework asks for a name.
    const auto choice = AskSavePath(QStringLiteral("Banner Files (*.bnr)|*.bnr||"), QStringLiteral("bnr"));
    if (!choice)
        return false;
    QString path = choice->path;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".bnr");
    return SaveToNewPath(path);
}

bool CBannerDoc::SaveToNewPath(const QString &path)
{
    if (!OnSaveDocument(path))
        return false;
    SetPathName(path);
    if (m_context.addToRecentFiles)
        m_context.addToRecentFiles(path);
    return true;
}
