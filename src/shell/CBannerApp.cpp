#include "shell/CBannerApp.h"

#include "StringTable.h"
#include "platform/Prompts.h"
#include "platform/QtPrompts.h"
#include "platform/settings/Settings.h"
#include "resource.h"
#include "server/LoginDialog.h"
#include "server/LoginPrompt.h"
#include "server/ServerSession.h"
#include "shell/AboutDialog.h"
#include "shell/CMainFrame.h"
#include "shell/DesktopIntegration.h"
#include "shell/SingleInstance.h"

#include <QApplication>

CBannerApp::CBannerApp() : m_session(std::make_unique<ServerSession>()) {}

CBannerApp::~CBannerApp()
{
    // The connection goes before the windows it may still report to.
    m_session.reset();
    if (m_prompts)
        Prompts::Register(nullptr);
    if (m_loginPrompt)
        LoginPrompt::Register(nullptr);
}

bool CBannerApp::InitInstance(const QStringList &files)
{
    // 1-2. Qt Network needs no start-up of its own; the controls are plain objects.
    // 3. The settings root; the framework's profile entries live under it.
    if (LoadResString(IDS_SETTINGS_KEY, &m_settingsKey) != 0 || m_settingsKey.size() > 100) {
        Prompts::Instance().Message(QStringLiteral("Vellumark Error. Cannot initialize application."));
        return false;
    }
    Profile::SetApplicationKey(m_settingsKey);
    CreateSettingsKey(SettingsHive::User, m_settingsKey);

    // 8. The main frame.
    m_mainFrame = std::make_unique<CMainFrame>();
    m_prompts = std::make_unique<QtPrompts>(m_mainFrame.get());
    Prompts::Register(m_prompts.get());
    m_loginPrompt = std::make_unique<QtLoginPrompt>(m_mainFrame.get());
    LoginPrompt::Register(m_loginPrompt.get());
    if (!m_mainFrame->Create())
        return false;
    m_mainFrame->SetApplicationTarget(this);
    m_mainFrame->SetLoggedInTest([this] { return m_session->IsLoggedIn(); });
    connect(m_session.get(), &ServerSession::loginStateChanged, m_mainFrame.get(),
            [this] { m_mainFrame->Router().UpdateAll(); });

    // 11. The desktop knows the editor and its file type; later starts hand their files here.
    DesktopIntegration::RegisterFileType(QApplication::applicationFilePath());
    m_instance = std::make_unique<SingleInstance>();
    m_instance->Listen();
    connect(m_instance.get(), &SingleInstance::FilesReceived, this, [this](const QStringList &paths) {
        for (const QString &path : paths)
            m_mainFrame->OpenFile(path);
        m_mainFrame->raise();
        m_mainFrame->activateWindow();
    });

    // 12. The command line.
    for (const QString &file : files)
        if (!m_mainFrame->OpenFile(file))
            return false;

    // 13. Shown as it was left.
    m_mainFrame->ShowWithPlacement();
    m_mainFrame->Router().UpdateAll();
    return true;
}

bool CBannerApp::OnCommand(unsigned id)
{
    if (ServerSession::HandlesCommand(int(id))) {
        m_session->OnServerLogin();
        return true;
    }
    switch (id) {
    case ID_APP_ABOUT: {
        AboutDialog about(m_mainFrame.get());
        about.exec();
        return true;
    }
    default:
        return false;
    }
}

bool CBannerApp::OnUpdateCommand(unsigned id, CommandState &state)
{
    if (ServerSession::HandlesCommand(int(id))) {
        state.Enable(m_session->IsCommandEnabled(int(id)));
        if (id == ID_SERVER_LOGIN)
            state.SetText(m_session->LoginCommandText());
        return true;
    }
    return id == ID_APP_ABOUT;
}
