#pragma once
// Crash recovery of the open banners: every modified banner is copied into the editor's
// recovery folder every two minutes and at once when a frame comes or goes; a banner that is
// saved, closed or left unmodified loses its copy, and an editor that ends in order leaves none.
// The start after a crash offers each banner another editor left behind. The copies are taken
// on the interface thread (the banner file bytes are cheap to make) and written by the store's
// worker.
#include "document/RecoveryStore.h"

#include <QObject>
#include <QTimer>
#include <map>

class CBannerDoc;
class CDocManager;
class CoreContext;
class DocumentCommands;
class QWidget;

class CrashRecovery : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultPeriodMs = 2 * 60 * 1000;

    // Follows the documents of `documents` (banners of `context`); the offer's dialogs appear
    // over `window`.
    CrashRecovery(CoreContext &context, CDocManager &documents, QWidget *window);
    ~CrashRecovery() override;

    // How often the modified banners are copied.
    void SetPeriod(int ms) { m_timer.setInterval(ms); }
    int Period() const { return m_timer.interval(); }
    RecoveryStore &Store() { return m_store; }

    // Copies every modified banner whose copy is out of date, and drops the copies of the
    // unmodified ones (what the timer does).
    void CopyModified();
    // Asks about each banner a crashed editor left: Restore opens it, Discard drops the copy,
    // closing the question keeps the copy for the next start. A copy that does not read is
    // reported and moved aside.
    void OfferRecovered();

signals:
    void offerEnded();

private:
    struct Copy {
        int id = 0;
        bool written = false;
        QByteArray bytes; // what the copy holds
        int frames = 0;   // the frame count when the document was last looked at
    };
    void Follow(DocumentCommands &document);
    void CopyIfStale(DocumentCommands &document);
    DocumentCommands *Find(const CBannerDoc *doc) const;

    CoreContext &m_context;
    CDocManager &m_documents;
    QWidget *m_window;
    RecoveryStore m_store;
    QTimer m_timer;
    std::map<const CBannerDoc *, Copy> m_copies;
    int m_nextId = 1;
};
