#include "shell/CrashRecovery.h"

#include "document/BannerDoc.h"
#include "document/BannerFile.h"
#include "platform/Prompts.h"
#include "platform/settings/AppPaths.h"
#include "shell/CDocManager.h"
#include "shell/DocumentCommands.h"
#include "shell/RecoverDialog.h"

#include <QDir>
#include <QFile>

CrashRecovery::CrashRecovery(CoreContext &context, CDocManager &documents, QWidget *window)
    : m_context(context), m_documents(documents), m_window(window), m_store(AppPaths::RecoveryDir())
{
    QString error;
    if (!m_store.Open(&error))
        qWarning("Banners cannot be recovered after a crash: %s", qPrintable(error));
    for (const auto &document : documents.Documents())
        Follow(*document);
    connect(&documents, &CDocManager::DocumentAdded, this, &CrashRecovery::Follow);
    connect(&documents, &CDocManager::DocumentClosing, this, [this](CBannerDoc &doc) {
        const auto it = m_copies.find(&doc);
        if (it == m_copies.end())
            return;
        if (it->second.written)
            m_store.Remove(it->second.id);
        m_copies.erase(it);
    });
    m_timer.setInterval(kDefaultPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &CrashRecovery::CopyModified);
    m_timer.start();
}

// The store removes every copy as it goes.
CrashRecovery::~CrashRecovery() = default;

DocumentCommands *CrashRecovery::Find(const CBannerDoc *doc) const
{
    for (const auto &document : m_documents.Documents())
        if (&document->Doc() == doc)
            return document.get();
    return nullptr;
}

void CrashRecovery::Follow(DocumentCommands &document)
{
    const CBannerDoc *doc = &document.Doc();
    m_copies[doc] = Copy{m_nextId++, false, {}, doc->GetFrameCount()};
    const QUndoStack *stack = &document.Doc().History().Stack();
    // A frame that comes or goes is copied at once; a save makes the copy go at once. Both are
    // looked at once the step is done and the modified flag follows it.
    connect(stack, &QUndoStack::indexChanged, this, [this, doc] {
        const auto it = m_copies.find(doc);
        DocumentCommands *commands = Find(doc);
        if (it != m_copies.end() && commands && it->second.frames != doc->GetFrameCount())
            CopyIfStale(*commands);
    }, Qt::QueuedConnection);
    connect(stack, &QUndoStack::cleanChanged, this, [this, doc](bool clean) {
        if (DocumentCommands *commands = clean ? Find(doc) : nullptr)
            CopyIfStale(*commands);
    }, Qt::QueuedConnection);
}

void CrashRecovery::CopyIfStale(DocumentCommands &document)
{
    const auto it = m_copies.find(&document.Doc());
    if (it == m_copies.end())
        return;
    Copy &copy = it->second;
    const CBannerDoc &doc = document.Doc();
    copy.frames = doc.GetFrameCount();
    if (!doc.IsModified()) {
        if (copy.written)
            m_store.Remove(copy.id);
        copy.written = false;
        copy.bytes.clear();
        return;
    }
    QByteArray bytes = BannerFile::Write(doc);
    if (copy.written && bytes == copy.bytes)
        return;
    copy.bytes = bytes;
    copy.written = true;
    m_store.Write(copy.id, std::move(bytes), {document.Title(), doc.GetPathName(), QDateTime::currentDateTimeUtc()});
}

void CrashRecovery::CopyModified()
{
    for (const auto &document : m_documents.Documents())
        CopyIfStale(*document);
}

void CrashRecovery::OfferRecovered()
{
    for (const RecoveryStore::Recovered &banner : m_store.AdoptCrashed()) {
        // Only a copy that reads is offered.
        auto doc = std::make_unique<CBannerDoc>(m_context);
        QFile file(banner.file);
        if (!banner.damaged && file.open(QIODevice::ReadOnly) &&
            BannerFile::Read(*doc, file.readAll()) == BannerFile::ReadResult::Ok) {
            RecoverDialog dialog(banner.info.title, banner.info.time, m_window);
            const RecoverDialog::Choice choice = dialog.Ask();
            if (choice == RecoverDialog::Choice::Discard)
                m_store.Forget(banner);
            if (choice != RecoverDialog::Choice::Restore)
                continue;
            doc->SetPathName(banner.info.path);
            if (m_documents.OpenRecovered(std::move(doc), banner.info.title)) {
                // The restored banner has a copy of this editor's before the crashed one goes.
                CopyIfStale(*m_documents.Documents().back());
                m_store.Forget(banner);
            }
            continue;
        }
        const QString kept = m_store.KeepAside(banner);
        Prompts::Instance().Message(QStringLiteral("The recovered copy of \"%1\" is damaged and cannot be restored. "
                                                   "It was kept as %2.")
                                        .arg(banner.info.title, QDir::toNativeSeparators(kept)),
                                    Prompts::Icon::Warning);
    }
    m_store.ReleaseAdopted();
    emit offerEnded();
}
