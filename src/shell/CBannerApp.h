#pragma once
// The application object: starts the program in its fixed order, owns what several parts share
// (the main frame, the server session, the single-instance channel) and handles the
// application's commands (About, the server commands).
#include "editor/CommandTarget.h"

#include <QObject>
#include <QStringList>
#include <memory>

class CMainFrame;
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
    // command line's file arguments.
    bool InitInstance(const QStringList &files);

    QString GetSettingsKey() const { return m_settingsKey; }
    CMainFrame *MainFrame() const { return m_mainFrame.get(); }
    ServerSession &Session() const { return *m_session; }

    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(unsigned id, CommandState &state) override;

private:
    QString m_settingsKey;
    std::unique_ptr<ServerSession> m_session;
    std::unique_ptr<CMainFrame> m_mainFrame;
    std::unique_ptr<QtPrompts> m_prompts;
    std::unique_ptr<QtLoginPrompt> m_loginPrompt;
    std::unique_ptr<SingleInstance> m_instance;
};
