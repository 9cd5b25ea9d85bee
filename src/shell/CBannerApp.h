#pragma once
// The application object: starts the program in its fixed order, owns what several parts share
// (the core context with the hidden imaging controls, the open documents, the main frame, the
// server session, the single-instance channel) and handles the application's commands (About,
// New, Open, Print Setup, the recent files, the server commands).
#include "editor/CommandTarget.h"
#include "editor/EditorItemDialogs.h"

#include <QObject>
#include <QStringList>
#include <memory>

class CDocManager;
class CMainFrame;
class CSplash;
class CoreContext;
class CrashRecovery;
class GifProgressDialog;
class QtLoginPrompt;
class QtPrompts;
class ServerSession;
class SingleInstance;

class CBannerApp : public QObject, public CommandTarget {
    Q_OBJECT
public:
    CBannerApp();
    ~CBannerApp() override;

    // The start-up sequence; false ends the program before its event loop runs. `files` are the
    // command line's file arguments: none makes a new banner, a file is opened, and a file that
    // cannot be opened ends the program.
    bool InitInstance(const QStringList &files);
    // Makes InitInstance show the splash for at least `displayMs`. Only the editor's own start
    // asks for it; tests and embedders start without one.
    void EnableSplash(unsigned displayMs) { m_splashTime = displayMs; }
    // The splash of this start while it is up, else none.
    CSplash *SplashThread() const { return m_pSplashThread; }

    QString GetSettingsKey() const { return m_settingsKey; }
    CMainFrame *MainFrame() const { return m_mainFrame.get(); }
    GifProgressDialog *GifProgressWindow() const { return m_gifProgress.get(); }
    CDocManager *Documents() const { return m_docManager.get(); }
    CoreContext &Context() const { return *m_context; }
    ServerSession &Session() const { return *m_session; }
    CrashRecovery *Recovery() const { return m_recovery.get(); }

    // The recently used files, most recent first (at most four).
    QStringList RecentFiles() const;
    void AddToRecentFileList(const QString &path);

    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(unsigned id, CommandState &state) override;

private:
    void WriteRecentFiles(const QStringList &files) const;
    void OnFilePrintSetup();

    QString m_settingsKey;
    unsigned m_splashTime = 0;
    CSplash *m_pSplashThread = nullptr;
    std::unique_ptr<ServerSession> m_session;
    std::unique_ptr<CMainFrame> m_mainFrame;
    EditorItemDialogs m_itemDialogs; // outlives the context that reaches it
    std::unique_ptr<CoreContext> m_context;
    std::unique_ptr<CDocManager> m_docManager;
    std::unique_ptr<QtPrompts> m_prompts;
    std::unique_ptr<QtLoginPrompt> m_loginPrompt;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<GifProgressDialog> m_gifProgress;
    std::unique_ptr<CrashRecovery> m_recovery;
};
