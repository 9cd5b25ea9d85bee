// Crash recovery on the real editor: copies of the modified banners, a second editor beside the
// first, and the next start after a crash restoring, discarding and setting aside what was left.
#include "ShellTestSupport.h"
#include "TestSupport.h"
#include "document/BannerFile.h"
#include "platform/settings/AppPaths.h"
#include "resource.h"
#include "shell/CBannerApp.h"
#include "shell/CDocManager.h"
#include "shell/CrashRecovery.h"
#include "shell/DocumentCommands.h"
#include "shell/RecoverDialog.h"

#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSysInfo>

namespace {
bool WaitFor(const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

QStringList Copies(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.bnr")}, QDir::Files, QDir::Name);
}

// Answers the recovery questions in turn: "restore" with Return (the default button), "discard"
// with its button; a question beyond the answers is closed. Keeps what each one said.
struct RecoverAnswers {
    explicit RecoverAnswers(QStringList answers) : answers(std::move(answers))
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto *dialog = qobject_cast<RecoverDialog *>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            asked << dialog->Text();
            const QString answer = this->answers.isEmpty() ? QString() : this->answers.takeFirst();
            if (answer == QLatin1String("restore"))
                QTest::keyClick(dialog, Qt::Key_Return);
            else if (answer == QLatin1String("discard"))
                ShellTest::ButtonWithText(dialog, QStringLiteral("&Discard"))->click();
            if (dialog->isVisible())
                dialog->reject();
        });
        timer.start(10);
    }
    QStringList answers, asked;
    QTimer timer;
};

// A lock file as an editor that was killed leaves it: its process is gone.
void WriteDeadOwnersLock(const QString &folder)
{
    QProcess gone;
    gone.start(QStringLiteral("true"), QStringList());
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    ASSERT_TRUE(TestSupport::WriteFile(folder + QStringLiteral("/lock"),
                                       QStringLiteral("%1\nvellumark\n%2\n").arg(pid).arg(QSysInfo::machineHostName()).toUtf8()));
}
} // namespace

TEST(CrashRecovery, ModifiedBannersAreCopiedAndTheNextStartAfterACrashRestoresOrDiscardsThem)
{
    const QString root = AppPaths::RecoveryDir();
    const auto cleanup = qScopeGuard([&] { QDir(root).removeRecursively(); });
    const QString dir = TestSupport::NewTempDir();
    const QString savedPath = dir + QStringLiteral("/saved.bnr");
    ASSERT_TRUE(TestSupport::WriteFile(savedPath, BannerFile::Write(ShellTest::DialogFixture().doc)));
    ScriptedPrompts prompts;
    const QString crashed = root + QStringLiteral("/crashed");
    QByteArray untitledState, openedState;
    {
        CBannerApp first;
        ASSERT_TRUE(first.InitInstance({}));
        Prompts::Register(&prompts);
        CrashRecovery &recovery = *first.Recovery();
        const QString live = recovery.Store().OwnFolder();
        ASSERT_TRUE(first.Documents()->OpenDocumentFile(savedPath));
        CBannerDoc &untitled = first.Documents()->Documents()[0]->Doc();
        CBannerDoc &opened = first.Documents()->Documents()[1]->Doc();

        recovery.CopyModified(); // unmodified banners get no copy
        recovery.Store().WaitForWrites();
        EXPECT_TRUE(Copies(live).isEmpty());
        // A frame that comes is copied at once, other changes when the period is over.
        untitled.OnFrameAdd();
        ASSERT_TRUE(WaitFor([&] { return Copies(live).size() == 1; }));
        opened.GetFrame(0)->m_crBackground = 0x00123456;
        opened.History().Record(QStringLiteral("Colour"));
        recovery.SetPeriod(20);
        ASSERT_TRUE(WaitFor([&] { return Copies(live).size() == 2; }));
        recovery.Store().WaitForWrites();
        untitledState = BannerFile::Write(untitled);
        openedState = BannerFile::Write(opened);

        // A second editor beside the first does not take its copies as left by a crash.
        {
            CBannerApp second;
            RecoverAnswers answers({});
            ASSERT_TRUE(second.InitInstance({}));
            QSignalSpy ended(second.Recovery(), &CrashRecovery::offerEnded);
            ASSERT_TRUE(WaitFor([&] { return ended.count() == 1; }));
            EXPECT_TRUE(answers.asked.isEmpty());
        }
        ASSERT_EQ(Copies(live), QStringList({QStringLiteral("1.bnr"), QStringLiteral("2.bnr")}));

        // What a killed editor leaves: its copies, its dead process's lock, and a damaged copy.
        ASSERT_TRUE(QDir().mkpath(crashed));
        for (const QString &name : QDir(live).entryList({QStringLiteral("*.bnr"), QStringLiteral("*.json")}, QDir::Files))
            ASSERT_TRUE(QFile::copy(live + "/" + name, crashed + "/" + name));
        WriteDeadOwnersLock(crashed);
        ASSERT_TRUE(QFile::copy(crashed + "/1.json", crashed + "/3.json"));
        ASSERT_TRUE(TestSupport::WriteFile(crashed + "/3.bnr", untitledState.left(untitledState.size() / 2)));
        Prompts::Register(nullptr);
    }
    // The first editor ended in order: its own folder went.
    ASSERT_EQ(QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList({QStringLiteral("crashed")}));

    // The next start asks about each copy, oldest first; the damaged one is reported and set aside.
    CBannerApp next;
    RecoverAnswers answers({QStringLiteral("discard"), QStringLiteral("restore")});
    ASSERT_TRUE(next.InitInstance({}));
    Prompts::Register(&prompts);
    QSignalSpy ended(next.Recovery(), &CrashRecovery::offerEnded);
    ASSERT_TRUE(WaitFor([&] { return ended.count() == 1; }));
    ASSERT_EQ(answers.asked.size(), 2);
    EXPECT_TRUE(answers.asked[0].contains(QStringLiteral("\"Banner1\"")));
    EXPECT_TRUE(answers.asked[1].contains(QStringLiteral("\"saved.bnr\"")));
    const QString kept = root + QStringLiteral("/Damaged/crashed-3.bnr");
    EXPECT_TRUE(prompts.WasShown(QStringLiteral("The recovered copy of \"Banner1\" is damaged and cannot be restored. "
                                                "It was kept as %1.").arg(kept),
                                 Prompts::Icon::Warning));
    next.Recovery()->Store().WaitForWrites();
    EXPECT_TRUE(QFile::exists(kept));
    EXPECT_FALSE(QDir(crashed).exists());

    // The restored banner is modified, holds the copy's state and keeps its file, and a copy of
    // it is kept until Save writes there without asking.
    const auto &documents = next.Documents()->Documents();
    ASSERT_EQ(documents.size(), 2u);
    DocumentCommands &restored = *documents[1];
    EXPECT_TRUE(restored.Doc().IsModified());
    EXPECT_EQ(BannerFile::Write(restored.Doc()), openedState);
    const QString own = next.Recovery()->Store().OwnFolder();
    EXPECT_EQ(Copies(own).size(), 1);
    ASSERT_TRUE(restored.OnCommand(ID_FILE_SAVE));
    EXPECT_TRUE(prompts.fileDialogs.empty());
    EXPECT_EQ(TestSupport::ReadFile(savedPath), openedState);
    EXPECT_FALSE(restored.Doc().IsModified());
    ASSERT_TRUE(WaitFor([&] {
        next.Recovery()->Store().WaitForWrites();
        return Copies(own).isEmpty();
    }));
    Prompts::Register(nullptr);
}
