#include "shell/CBannerApp.h"

#include "StringTable.h"
#include "document/CoreContext.h"
#include "platform/Prompts.h"
#include "shell/QtPrompts.h"
#include "platform/settings/AppPaths.h"
#include "platform/settings/Settings.h"
#include "resource.h"
#include "server/LoginDialog.h"
#include "server/LoginPrompt.h"
#include "server/ServerSession.h"
#include "shell/AboutDialog.h"
#include "shell/CDocManager.h"
#include "shell/CMainFrame.h"
#include "shell/CrashRecovery.h"
#include "shell/CSplash.h"
#include "shell/CSplashWnd.h"
#include "shell/DesktopIntegration.h"
#include "shell/FramePrinting.h"
#include "shell/GifProgressDialog.h"
#include "shell/KeyboardReturn.h"
#include "shell/LogoBackgroundWnd.h"
#include "shell/SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrinterInfo>

namespace {
QString RecentSection() { return QStringLiteral("Recent File List"); }
}

CBannerApp::CBannerApp() : m_session(std::make_unique<ServerSession>()) {}

CBannerApp::~CBannerApp()
{
    // The connection goes first, then the documents and their windows, the main frame and last
    // the hidden imaging controls. Closing windows no longer asks the application anything.
    delete m_pSplashThread;
    if (m_mainFrame) {
        m_mainFrame->SetApplicationTarget(nullptr);
        m_mainFrame->SetLoggedInTest(nullptr);
        m_mainFrame->SetCloseWindowsHandler(nullptr);
        QObject::disconnect(m_mainFrame->MdiClient(), nullptr, m_mainFrame.get(), nullptr);
    }
    m_session.reset();
    // Ending in order: the recovery copies go before the documents.
    m_recovery.reset();
    m_docManager.reset();
    m_gifProgress.reset();
    m_mainFrame.reset();
    m_context.reset();
    SetSettingsDamageHandler(nullptr);
    if (m_prompts)
        Prompts::Register(nullptr);
    if (m_loginPrompt)
        LoginPrompt::Register(nullptr);
}

bool CBannerApp::InitInstance(const QStringList &files)
{
    // 1-2. Qt Network needs no start-up of its own; the controls are plain objects.
    // A damaged settings file was kept aside; the user hears of it once the window is up.
    SetSettingsDamageHandler([this](const QString &file, const QString &keptAs) {
        QTimer::singleShot(0, this, [file, keptAs] {
            Prompts::Instance().Message(QStringLiteral("The settings file %1 could not be read. It was kept as %2, "
                                                       "and Vellumark goes on with default settings.")
                                            .arg(QDir::toNativeSeparators(file), QDir::toNativeSeparators(keptAs)),
                                        Prompts::Icon::Warning);
        });
    });
    // 3-5. The settings root; the framework's profile entries live under it.
    if (LoadResString(IDS_SETTINGS_KEY, &m_settingsKey) != 0 || m_settingsKey.size() > 100) {
        Prompts::Instance().Message(QStringLiteral("Vellumark Error. Cannot initialize application."));
        return false;
    }
    Profile::SetApplicationKey(m_settingsKey);
    CreateSettingsKey(SettingsHive::User, m_settingsKey);
    // The data folder (VKDir) gets the installed pages the upload dialog shows and writes beside.
    AppPaths::PrepareUserDataDir();
    // 6. The splash, shown and painted before the rest of the start. It counts the main window
    // as there once it is shown.
    if (m_splashTime != 0) {
        auto *splash = new CSplash(m_splashTime, &m_pSplashThread, [this]() -> QWidget * {
            return m_mainFrame && m_mainFrame->isVisible() ? m_mainFrame.get() : nullptr;
        });
        if (!splash->Start())
            delete splash;
    }

    // 8. The main frame.
    m_mainFrame = std::make_unique<CMainFrame>();
    m_prompts = std::make_unique<QtPrompts>(m_mainFrame.get());
    Prompts::Register(m_prompts.get());
    m_loginPrompt = std::make_unique<QtLoginPrompt>(m_mainFrame.get());
    LoginPrompt::Register(m_loginPrompt.get());
    if (!m_mainFrame->Create())
        return false;
    m_mainFrame->SetApplicationTarget(this);
    m_gifProgress = std::make_unique<GifProgressDialog>(m_mainFrame.get());
    new KeyboardReturn(m_mainFrame.get(), this);
    m_mainFrame->SetLoggedInTest([this] { return m_session->IsLoggedIn(); });
    connect(m_session.get(), &ServerSession::loginStateChanged, m_mainFrame.get(),
            [this] { m_mainFrame->Router().UpdateAll(); });

    // 7, 9. The hidden imaging controls and the document windows' templates.
    m_context = std::make_unique<CoreContext>();
    m_context->SetItemDialogs(&m_itemDialogs);
    m_docManager = std::make_unique<CDocManager>(*m_context, *m_mainFrame);
    connect(m_docManager.get(), &CDocManager::DocumentPathUsed, this, &CBannerApp::AddToRecentFileList);

    // 10. Dropped files open as documents.
    m_mainFrame->SetOpenFileHandler([this](const QString &path) { return m_docManager->OpenDocumentFile(path); });
    m_mainFrame->SetCloseWindowsHandler(
        [this](const std::vector<CChildFrame *> &frames) { return m_docManager->CloseWindows(frames); });

    // 11. The desktop knows the editor and its file type; later starts hand their files here.
    DesktopIntegration::RegisterFileType(QApplication::applicationFilePath());
    m_instance = std::make_unique<SingleInstance>();
    m_instance->Listen();
    connect(m_instance.get(), &SingleInstance::FilesReceived, this, [this](const QStringList &paths) {
        for (const QString &path : paths)
            m_docManager->OpenDocumentFile(path);
        m_mainFrame->raise();
        m_mainFrame->activateWindow();
    });

    // 12. The command line.
    if (files.isEmpty()) {
        if (!m_docManager->OnFileNew())
            return false;
    }
    for (const QString &file : files)
        if (!m_docManager->OpenDocumentFile(file))
            return false;

    m_recovery = std::make_unique<CrashRecovery>(*m_context, *m_docManager, m_mainFrame.get());

    // 13. Shown as it was left.
    m_mainFrame->ShowWithPlacement();
    // The started editor takes the keyboard, also on a desktop that gives new windows no focus.
    if (!m_pSplashThread)
        m_mainFrame->activateWindow();
    m_mainFrame->Router().UpdateAll();
    // 14. The splash stays in front of the main window until it closes.
    if (m_pSplashThread && m_pSplashThread->Window())
        m_pSplashThread->Window()->BringToFront();
    // What a crashed editor left is offered once the start is over and the splash no longer
    // keeps the keys from the main window and its dialogs.
    if (m_pSplashThread)
        connect(m_pSplashThread, &QObject::destroyed, m_recovery.get(), &CrashRecovery::OfferRecovered,
                Qt::QueuedConnection);
    else
        QTimer::singleShot(0, m_recovery.get(), &CrashRecovery::OfferRecovered);
    return true;
}

QStringList CBannerApp::RecentFiles() const
{
    QStringList files;
    for (unsigned i = 1; i <= ID_FILE_MRU_COUNT; ++i) {
        const QString file = Profile::GetString(RecentSection(), QStringLiteral("File%1").arg(i));
        if (!file.isEmpty())
            files << file;
    }
    return files;
}

void CBannerApp::WriteRecentFiles(const QStringList &files) const
{
    for (unsigned i = 1; i <= ID_FILE_MRU_COUNT; ++i)
        Profile::WriteString(RecentSection(), QStringLiteral("File%1").arg(i),
                             int(i) <= files.size() ? files[int(i) - 1] : QString());
}

void CBannerApp::AddToRecentFileList(const QString &path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    QStringList files = RecentFiles();
    files.removeAll(full);
    files.prepend(full);
    while (files.size() > int(ID_FILE_MRU_COUNT))
        files.removeLast();
    WriteRecentFiles(files);
}

bool CBannerApp::OnCommand(unsigned id)
{
    if (ServerSession::HandlesCommand(int(id))) {
        m_session->OnCommand(int(id));
        return true;
    }
    if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + ID_FILE_MRU_COUNT) {
        QStringList files = RecentFiles();
        const int index = int(id - ID_FILE_MRU_FILE1);
        if (index >= files.size())
            return false;
        const QString path = files[index];
        // A file that cannot be opened any more leaves the list.
        if (!m_docManager->OpenDocumentFile(path)) {
            files.removeAll(path);
            WriteRecentFiles(files);
        }
        return true;
    }
    switch (id) {
    case ID_APP_ABOUT: {
        AboutDialog about(m_mainFrame.get());
        about.exec();
        return true;
    }
    case ID_FILE_NEW:
        m_docManager->OnFileNew();
        return true;
    case ID_FILE_OPEN:
        m_docManager->OnFileOpen();
        return true;
    case ID_FILE_PRINT_SETUP:
        OnFilePrintSetup();
        return true;
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
    if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + ID_FILE_MRU_COUNT) {
        const QStringList files = RecentFiles();
        const int index = int(id - ID_FILE_MRU_FILE1);
        if (index >= files.size())
            return false;
        state.SetText(QStringLiteral("&%1 %2").arg(index + 1).arg(QFileInfo(files[index]).fileName()));
        return true;
    }
    return id == ID_APP_ABOUT || id == ID_FILE_NEW || id == ID_FILE_OPEN || id == ID_FILE_PRINT_SETUP;
}

void CBannerApp::OnFilePrintSetup()
{
    // Page setup belongs to a real printer; without one there is nothing to set up.
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        Prompts::Instance().Message(QStringLiteral("No printers are installed."), Prompts::Icon::Information);
        return;
    }
    // One printer for the session, so a second visit and the Frames View's printing start from
    // the choices made here.
    QPageSetupDialog dialog(&FramePrinting::SessionPrinter(), m_mainFrame.get());
    dialog.exec();
}
