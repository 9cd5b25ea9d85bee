// The pieces of bannerd on their own: banner checks, storage paths, tokens, accounts, the
// password pool and the command line.
#include "AccountStore.h"
#include "BannerStore.h"
#include "PasswordPool.h"
#include "ServeOptions.h"
#include "TestSupport.h"
#include "UploadTokens.h"
#include "platform/imaging/GifCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>
#include <sodium.h>

namespace {
std::string GifHeader(int width, int height, const char *version = "GIF89a")
{
    std::string bytes(version);
    bytes += char(width & 0xFF);
    bytes += char(width >> 8);
    bytes += char(height & 0xFF);
    bytes += char(height >> 8);
    bytes += std::string("\xF7\x00\x00", 3);
    return bytes;
}

// A whole one-page GIF of the given size.
std::string Gif(int width, int height)
{
    GifCodec::Animation animation;
    animation.width = width;
    animation.height = height;
    GifCodec::Page page;
    page.image = QImage(width, height, QImage::Format_Indexed8);
    page.image.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    page.image.fill(1);
    animation.pages.push_back(page);
    QByteArray bytes;
    return GifCodec::Write(animation, &bytes) == GifCodec::Ok ? bytes.toStdString() : std::string();
}
} // namespace

TEST(BannerCheckTest, SizeThenSignatureThenDimensionsThenTheWholeFile)
{
    const std::string banner = Gif(468, 60);
    ASSERT_GT(banner.size(), 100u);
    EXPECT_EQ(CheckBanner(banner, 1024 * 1024), BannerCheck::Ok);
    // A sound header with nothing or damage behind it is no picture.
    EXPECT_EQ(CheckBanner(GifHeader(468, 60), 1024), BannerCheck::NotGif);
    EXPECT_EQ(CheckBanner(banner.substr(0, banner.size() / 2), 1024 * 1024), BannerCheck::NotGif);
    EXPECT_EQ(CheckBanner(banner.substr(0, 13) + std::string(banner.size() - 13, '\xFF'), 1024 * 1024), BannerCheck::NotGif);
    EXPECT_EQ(CheckBanner(GifHeader(60, 468), 1024), BannerCheck::WrongSize);
    EXPECT_EQ(CheckBanner(GifHeader(468 + 256, 60), 1024), BannerCheck::WrongSize); // high byte counts
    EXPECT_EQ(CheckBanner(GifHeader(468, 61), 1024), BannerCheck::WrongSize);
    EXPECT_EQ(CheckBanner(GifHeader(468, 60, "GIF88a"), 1024), BannerCheck::NotGif);
    EXPECT_EQ(CheckBanner("\x89PNG\r\n\x1a\n0000000000", 1024), BannerCheck::NotGif);
    EXPECT_EQ(CheckBanner(GifHeader(468, 60).substr(0, 12), 1024), BannerCheck::NotGif); // cut header
    EXPECT_EQ(CheckBanner("", 1024), BannerCheck::NotGif);

    std::string exact = banner;
    exact.resize(std::max<std::size_t>(banner.size(), 1024), '\0');
    EXPECT_EQ(CheckBanner(exact, exact.size()), BannerCheck::Ok);
    EXPECT_EQ(CheckBanner(exact + '\0', exact.size()), BannerCheck::TooLarge);
    // An oversized file is refused for its size even when it is no GIF at all.
    EXPECT_EQ(CheckBanner(std::string(2048, 'x'), 1024), BannerCheck::TooLarge);
}

TEST(BannerStoreTest, UserFoldersStayInsideTheRoot)
{
    const QString root = TestSupport::NewTempDir() + QStringLiteral("/banners");
    const BannerStore store(root);
    QString why;
    ASSERT_TRUE(store.Prepare(&why)) << why.toStdString();
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath();

    const QStringList names{QStringLiteral(".."), QStringLiteral("."), QStringLiteral("../../etc/passwd"),
                            QStringLiteral("/abs"), QStringLiteral("a/b"), QStringLiteral(".hidden"),
                            QStringLiteral("back\\slash"), QStringLiteral("Ann/Lee:1"), QStringLiteral("~root"),
                            QStringLiteral("plain"), QStringLiteral("Plain"), QString(80, QChar(0xE9)),
                            QString(79, QChar(0xE9)) + QLatin1Char('a'), QString(80, QLatin1Char('%'))};
    QSet<QString> folders;
    for (const QString &name : names) {
        const QString folder = BannerStore::UserFolderName(name);
        EXPECT_FALSE(folder.contains(QLatin1Char('/'))) << folder.toStdString();
        EXPECT_FALSE(folder.startsWith(QLatin1Char('.'))) << folder.toStdString();
        EXPECT_LE(folder.toUtf8().size(), 160) << folder.toStdString();
        folders.insert(folder);

        const QString stored = store.Store(name, GifHeader(468, 60), QDateTime::currentDateTimeUtc(), &why);
        ASSERT_FALSE(stored.isEmpty()) << why.toStdString();
        const QFileInfo info(stored);
        EXPECT_EQ(QFileInfo(info.canonicalPath()).canonicalPath(), canonicalRoot) << stored.toStdString();
        EXPECT_EQ(TestSupport::ReadFile(stored), QByteArray::fromStdString(GifHeader(468, 60)));
    }
    // Different names never share a folder, long ones included; case is kept.
    EXPECT_EQ(folders.size(), names.size());
    EXPECT_EQ(BannerStore::UserFolderName(QStringLiteral("Ann/Lee:1")), QStringLiteral("Ann%2FLee%3A1"));
}

TEST(BannerStoreTest, UploadsAtTheSameMomentKeepEveryFile)
{
    const QString root = TestSupport::NewTempDir();
    const BannerStore store(root);
    const QDateTime when(QDate(2026, 12, 8), QTime(16, 36, 55, 123), Qt::UTC);
    EXPECT_EQ(BannerStore::UploadFileName(when, 0), QStringLiteral("20261208T163655.123Z.gif"));
    QString why;
    const QString first = store.Store(QStringLiteral("ann"), "one", when, &why);
    const QString second = store.Store(QStringLiteral("ann"), "two", when, &why);
    EXPECT_TRUE(first.endsWith(QStringLiteral("/ann/20261208T163655.123Z.gif")));
    EXPECT_TRUE(second.endsWith(QStringLiteral("/ann/20261208T163655.123Z-1.gif")));
    EXPECT_EQ(TestSupport::ReadFile(first), "one");
    EXPECT_EQ(TestSupport::ReadFile(second), "two");
    // No temporary files are left behind.
    EXPECT_EQ(QDir(root + QStringLiteral("/ann")).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(UploadTokensTest, BoundToConnectionAndUserForThirtyMinutes)
{
    auto now = UploadTokens::Clock::time_point{};
    UploadTokens tokens(std::chrono::minutes(30), [&now] { return now; });
    const std::string ann = tokens.IssueFor(1, QStringLiteral("ann"));
    EXPECT_EQ(ann.size(), 64u);
    EXPECT_EQ(tokens.IssueFor(1, QStringLiteral("ann")), ann); // the same page again
    const std::string bob = tokens.IssueFor(2, QStringLiteral("bob"));
    EXPECT_NE(bob, ann);
    EXPECT_EQ(tokens.Redeem(ann), QStringLiteral("ann"));
    EXPECT_EQ(tokens.Redeem(bob), QStringLiteral("bob"));
    EXPECT_FALSE(tokens.Redeem("unknown"));
    EXPECT_FALSE(tokens.Redeem(ann.substr(0, 63)));

    now += std::chrono::minutes(29);
    EXPECT_EQ(tokens.Redeem(ann), QStringLiteral("ann"));
    now += std::chrono::minutes(1);
    EXPECT_FALSE(tokens.Redeem(ann)); // 30 minutes after it was issued
    const std::string renewed = tokens.IssueFor(1, QStringLiteral("ann"));
    EXPECT_NE(renewed, ann);
    EXPECT_EQ(tokens.Redeem(renewed), QStringLiteral("ann"));
    EXPECT_FALSE(tokens.Redeem(ann));

    // Another user logging in on the same connection gets a token of their own.
    const std::string carl = tokens.IssueFor(1, QStringLiteral("carl"));
    EXPECT_FALSE(tokens.Redeem(renewed));
    EXPECT_EQ(tokens.Redeem(carl), QStringLiteral("carl"));

    tokens.RevokeConnection(1);
    EXPECT_FALSE(tokens.Redeem(carl));
    EXPECT_EQ(tokens.Purge(), 0u); // bob's token expired too
}

TEST(AccountStoreTest, AddChangeAndCheckPasswords)
{
    AccountStore accounts;
    QString why;
    const QString db = TestSupport::NewTempDir() + QStringLiteral("/a.db");
    ASSERT_TRUE(accounts.Open(db, &why)) << why.toStdString();
    EXPECT_FALSE(accounts.HashOf(QStringLiteral("ann")));
    EXPECT_EQ(accounts.SetPassword(QStringLiteral("ann"), "first", &why), AccountStore::SetResult::Added);
    const std::string firstHash = accounts.HashOf(QStringLiteral("ann")).value_or("");
    EXPECT_TRUE(firstHash.rfind("$argon2id$", 0) == 0) << firstHash;
    EXPECT_TRUE(PasswordHash::Verify(firstHash, "first"));
    EXPECT_FALSE(PasswordHash::Verify(firstHash, "First"));
    EXPECT_EQ(accounts.SetPassword(QStringLiteral("ann"), "second", &why), AccountStore::SetResult::Changed);
    EXPECT_TRUE(PasswordHash::Verify(accounts.HashOf(QStringLiteral("ann")).value_or(""), "second"));
    EXPECT_FALSE(accounts.HashOf(QStringLiteral("Ann"))); // names are exact

    // A second store on the same file (adduser while serving) sees the change.
    AccountStore other;
    ASSERT_TRUE(other.Open(db, &why));
    EXPECT_TRUE(other.HashOf(QStringLiteral("ann")));
}

TEST(AccountStoreTest, NamesAndPasswordsMustFitTheWire)
{
    QString why;
    EXPECT_TRUE(AccountStore::IsValidUserName(QString(80, QLatin1Char('n')), &why));
    EXPECT_FALSE(AccountStore::IsValidUserName(QString(81, QLatin1Char('n')), &why));
    EXPECT_FALSE(AccountStore::IsValidUserName(QString(), &why));
    EXPECT_TRUE(AccountStore::IsValidUserName(QStringLiteral("Zoë €uro 100%"), &why));
    EXPECT_FALSE(AccountStore::IsValidUserName(QStringLiteral("名前"), &why));
    EXPECT_FALSE(AccountStore::IsValidUserName(QStringLiteral("tab\there"), &why));
    EXPECT_TRUE(AccountStore::IsValidPassword(QString(80, QLatin1Char('p')), &why));
    EXPECT_FALSE(AccountStore::IsValidPassword(QString(81, QLatin1Char('p')), &why));
    EXPECT_FALSE(AccountStore::IsValidPassword(QString(), &why));
}

TEST(PasswordPoolTest, AnswersOnTheCallersThreadDropsCancelledChecksAndTakesAddressesInTurn)
{
    ASSERT_GE(sodium_init(), 0);
    PasswordPool pool(2);
    const std::string hash = PasswordHash::Make("right");
    char old[crypto_pwhash_STRBYTES]; // what older servers stored: argon2id at 64 MiB
    ASSERT_EQ(crypto_pwhash_str(old, "right", 5, crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE), 0);
    QObject context;
    int answers = 0, accepted = 0;
    std::string rehashed;
    const QThread *answeredOn = nullptr;
    auto done = [&](bool ok, const std::string &newHash) {
        ++answers;
        accepted += ok ? 1 : 0;
        if (!newHash.empty())
            rehashed = newHash;
        answeredOn = QThread::currentThread();
    };
    const QString a = QStringLiteral("10.0.0.1"), b = QStringLiteral("10.0.0.2");
    pool.Verify(a, hash, "right", &context, done);
    pool.Verify(a, hash, "wrong", &context, done);
    pool.Verify(a, std::string(), "right", &context, done); // unknown user: decoy hash, refused
    pool.Verify(a, hash, "right", &context, done)->store(true); // the client went away
    pool.Verify(a, hash, "right", std::make_unique<QObject>().get(), done); // its receiver is deleted before the answer
    pool.Verify(a, old, "right", &context, done); // accepted, with a hash at today's parameters
    EXPECT_TRUE(QTest::qWaitFor([&] { return pool.Pending() == 0; }, 30000));
    EXPECT_EQ(answers, 4);
    EXPECT_EQ(accepted, 2);
    EXPECT_EQ(answeredOn, QThread::currentThread());
    ASSERT_FALSE(rehashed.empty());
    EXPECT_FALSE(PasswordHash::NeedsRehash(rehashed));
    EXPECT_TRUE(PasswordHash::Verify(rehashed, "right"));

    // At most four checks wait, and one address waits for at most a round of another's flood.
    PasswordPool bounded(1, PasswordPool::Limits{4});
    std::vector<QString> order;
    auto check = [&](const QString &address) {
        return bounded.Verify(address, hash, "right", &context, [&order, address](bool, auto &) { order.push_back(address); });
    };
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(check(a));
    EXPECT_FALSE(check(a)); // the queue is full and this address has more than its share
    ASSERT_TRUE(check(b));  // another address still gets its share
    EXPECT_TRUE(check(b));
    EXPECT_FALSE(check(b));
    EXPECT_TRUE(QTest::qWaitFor([&] { return bounded.Pending() == 0; }, 30000));
    ASSERT_EQ(order.size(), 6u);
    EXPECT_EQ(order.back(), a);
    EXPECT_LE(std::find(order.begin(), order.end(), b) - order.begin(), 2);
}

TEST(CommandLineTest, ServeAndAddUserArguments)
{
    QString why;
    auto serve = ParseCommandLine({QStringLiteral("serve"), QStringLiteral("--db"), QStringLiteral("a.db"),
                                   QStringLiteral("--data"), QStringLiteral("d"), QStringLiteral("--port=0"),
                                   QStringLiteral("--http-port"), QStringLiteral("0"), QStringLiteral("--max-upload"),
                                   QStringLiteral("2048"), QStringLiteral("--public-host"), QStringLiteral("banners.example")},
                                  &why);
    ASSERT_TRUE(serve) << why.toStdString();
    EXPECT_EQ(serve->kind, CommandLine::Kind::Serve);
    EXPECT_EQ(serve->serve.listen, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(serve->serve.port, 0);
    EXPECT_EQ(serve->serve.httpPort, 0);
    EXPECT_EQ(serve->serve.maxUpload, 2048);
    EXPECT_EQ(serve->serve.publicHost, QStringLiteral("banners.example"));

    const auto defaults = ParseCommandLine({QStringLiteral("serve"), QStringLiteral("--db"), QStringLiteral("a"),
                                            QStringLiteral("--data"), QStringLiteral("d")},
                                           &why);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->serve.port, 5000);
    EXPECT_EQ(defaults->serve.httpPort, 8080);
    EXPECT_EQ(defaults->serve.maxUpload, 1024 * 1024);

    const auto add = ParseCommandLine({QStringLiteral("adduser"), QStringLiteral("--db"), QStringLiteral("a.db"),
                                       QStringLiteral("ann")},
                                      &why);
    ASSERT_TRUE(add);
    EXPECT_EQ(add->addUser.name, QStringLiteral("ann"));

    const QList<QStringList> wrong{
        {},
        {QStringLiteral("start")},
        {QStringLiteral("serve")},
        {QStringLiteral("serve"), QStringLiteral("--db"), QStringLiteral("a")},
        {QStringLiteral("serve"), QStringLiteral("--db"), QStringLiteral("a"), QStringLiteral("--data")},
        {QStringLiteral("serve"), QStringLiteral("--db"), QStringLiteral("a"), QStringLiteral("--data"), QStringLiteral("d"),
         QStringLiteral("--port"), QStringLiteral("70000")},
        {QStringLiteral("serve"), QStringLiteral("--db"), QStringLiteral("a"), QStringLiteral("--data"), QStringLiteral("d"),
         QStringLiteral("--port"), QStringLiteral("50x")},
        {QStringLiteral("serve"), QStringLiteral("--db"), QStringLiteral("a"), QStringLiteral("--data"), QStringLiteral("d"),
         QStringLiteral("--listen"), QStringLiteral("my host")},
        {QStringLiteral("serve"), QStringLiteral("--db"), QStringLiteral("a"), QStringLiteral("--data"), QStringLiteral("d"),
         QStringLiteral("--max-upload"), QStringLiteral("0")},
        {QStringLiteral("serve"), QStringLiteral("--db"), QStringLiteral("a"), QStringLiteral("--data"), QStringLiteral("d"),
         QStringLiteral("--verbose"), QStringLiteral("1")},
        {QStringLiteral("adduser"), QStringLiteral("ann")},
        {QStringLiteral("adduser"), QStringLiteral("--db"), QStringLiteral("a")},
        {QStringLiteral("adduser"), QStringLiteral("--db"), QStringLiteral("a"), QStringLiteral("ann"), QStringLiteral("bob")},
    };
    for (const QStringList &args : wrong) {
        why.clear();
        EXPECT_FALSE(ParseCommandLine(args, &why)) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(why.isEmpty()) << args.join(QLatin1Char(' ')).toStdString();
    }
}
