#include "BannerdHarness.h"

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QUrl>
#include <gtest/gtest.h>
#include <httplib.h>

namespace {
// BANNERD_EXE in the environment runs another build of the server against these tests.
QString ServerProgram()
{
    return qEnvironmentVariable("BANNERD_EXE", QStringLiteral(BANNERD_EXE));
}
} // namespace

BannerdProcess::~BannerdProcess()
{
    Stop();
}

bool BannerdProcess::Start(const QStringList &extraArgs)
{
    if (m_dir.isEmpty())
        m_dir = TestSupport::NewTempDir();
    QStringList args{QStringLiteral("serve"), QStringLiteral("--db"), Db(), QStringLiteral("--data"), DataDir(),
                     QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--http-port"), QStringLiteral("0")};
    args += extraArgs;
    m_process.start(ServerProgram(), args);
    if (!m_process.waitForStarted())
        return false;
    QByteArray line;
    QElapsedTimer clock;
    clock.start();
    while (!line.endsWith('\n') && clock.elapsed() < 20000) {
        if (!m_process.waitForReadyRead(500) && m_process.state() != QProcess::Running)
            return false;
        line += m_process.readAllStandardOutput();
    }
    const QRegularExpression pattern(QStringLiteral("^listening protocol=(\\d+) http=(\\d+)\\n$"));
    const auto match = pattern.match(QString::fromUtf8(line));
    if (!match.hasMatch())
        return false;
    m_protocolPort = quint16(match.captured(1).toUInt());
    m_httpPort = quint16(match.captured(2).toUInt());
    return m_protocolPort != 0 && m_httpPort != 0;
}

void BannerdProcess::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
    // Sanitizer builds of the server report their findings on standard error.
    const QByteArray log = Log();
    EXPECT_FALSE(log.contains("Sanitizer") || log.contains("runtime error:")) << log.toStdString();
    EXPECT_EQ(m_process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_process.exitCode(), 0);
}

int BannerdProcess::AddUser(const QString &name, const QByteArray &password, QByteArray *stdErr)
{
    if (m_dir.isEmpty())
        m_dir = TestSupport::NewTempDir();
    QProcess p;
    p.start(ServerProgram(), {QStringLiteral("adduser"), QStringLiteral("--db"), Db(), name});
    if (!p.waitForStarted())
        return -1;
    p.write(password + '\n');
    p.closeWriteChannel();
    if (!p.waitForFinished(30000))
        return -1;
    if (stdErr)
        *stdErr = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

qint64 BannerdProcess::ResidentKiB() const
{
    const QByteArray status = TestSupport::ReadFile(QStringLiteral("/proc/%1/status").arg(m_process.processId()));
    const auto match = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+) kB")).match(QString::fromLatin1(status));
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}

QStringList BannerdProcess::StoredFiles() const
{
    QStringList files;
    QDirIterator it(DataDir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(DataDir()).relativeFilePath(it.next());
    files.sort();
    return files;
}

ProtocolClient::ProtocolClient() : m_messageSocket(&m_socket) {}

bool ProtocolClient::Connect(quint16 port)
{
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    return m_socket.waitForConnected(5000);
}

void ProtocolClient::Write(const QByteArray &raw)
{
    m_socket.write(raw);
    m_socket.waitForBytesWritten(2000);
}

void ProtocolClient::Send(ServerMessage &request)
{
    for (int step = 0; step < 8 && !request.BodySent(); ++step)
        if (request.SendStep() < 0)
            break;
    m_socket.waitForBytesWritten(2000);
}

std::unique_ptr<ServerMessage> ProtocolClient::NextReply(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const MessageReceiver::Outcome outcome = m_receiver.Receive(m_messageSocket);
        if (outcome == MessageReceiver::Outcome::Complete) {
            std::unique_ptr<ServerMessage> reply = m_receiver.TakeCurrent();
            m_receiver.Clear();
            return reply;
        }
        if (outcome == MessageReceiver::Outcome::Failed)
            return nullptr;
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0 || m_socket.state() != QAbstractSocket::ConnectedState)
            return nullptr;
        m_socket.waitForReadyRead(int(std::min<qint64>(left, 500)));
    }
}

qint64 ProtocolClient::Login(const QString &user, const QString &password)
{
    LoginRequest request(&m_messageSocket, user, password);
    Send(request);
    std::unique_ptr<ServerMessage> reply = NextReply(30000);
    if (!reply || reply->TypeCode() != ServerMessageType::LoginReply)
        return -1;
    return qint64(static_cast<LoginReply &>(*reply).Result());
}

QByteArray ProtocolClient::UploadPage(bool *ok)
{
    UploadPageRequest request(&m_messageSocket, QString::fromLatin1(UploadPageRequest::kFixedPath));
    Send(request);
    std::unique_ptr<ServerMessage> reply = NextReply();
    const bool good = reply && reply->TypeCode() == ServerMessageType::UploadPageReply;
    if (ok)
        *ok = good;
    return good ? static_cast<UploadPageReply &>(*reply).Page() : QByteArray();
}

bool ProtocolClient::WaitClosed(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (m_socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < timeoutMs) {
        m_socket.waitForReadyRead(200);
        m_socket.readAll();
    }
    return m_socket.state() != QAbstractSocket::ConnectedState;
}

void ProtocolClient::Close()
{
    m_socket.abort();
}

UploadForm ParseUploadForm(const QByteArray &page)
{
    UploadForm form;
    const QString html = QString::fromUtf8(page);
    const auto formTag = QRegularExpression(QStringLiteral("<form\\b[^>]*>")).match(html);
    if (!formTag.hasMatch())
        return form;
    const QString tag = formTag.captured(0);
    form.post = tag.contains(QStringLiteral("method=\"post\""));
    form.multipart = tag.contains(QStringLiteral("enctype=\"multipart/form-data\""));
    form.action = QRegularExpression(QStringLiteral("action=\"([^\"]*)\"")).match(tag).captured(1);
    auto inputs = QRegularExpression(QStringLiteral("<input\\b[^>]*type=\"file\"[^>]*>")).globalMatch(html);
    while (inputs.hasNext()) {
        inputs.next();
        ++form.fileInputs;
    }
    return form;
}

UploadResult PostBanner(const QString &action, const QByteArray &file, const QString &fileName)
{
    UploadResult result;
    const QUrl url(action);
    if (!url.isValid() || url.scheme() != QLatin1String("http"))
        return result;
    httplib::Client client(url.host().toStdString(), url.port(80));
    client.set_read_timeout(30, 0);
    httplib::MultipartFormDataItems items{
        {"banner", file.toStdString(), fileName.toStdString(), "image/gif"}};
    const auto response = client.Post(url.path().toStdString().c_str(), items);
    if (!response)
        return result;
    result.httpStatus = response->status;
    result.body = QByteArray::fromStdString(response->body);
    result.status = UploadStatus(result.body);
    return result;
}

UploadForm LoggedInForm(ProtocolClient &client, quint16 port, const QString &user, const QString &password)
{
    if (client.Socket().state() != QAbstractSocket::ConnectedState && !client.Connect(port))
        return {};
    if (client.Login(user, password) != 0)
        return {};
    return ParseUploadForm(client.UploadPage());
}

QString UploadStatus(const QByteArray &page)
{
    return QRegularExpression(QStringLiteral("<meta name=\"VKUpload_Status\" content=\"([^\"]*)\">"))
        .match(QString::fromUtf8(page))
        .captured(1);
}

QByteArray WireU32(std::uint32_t value)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

QByteArray WireLogin(const QByteArray &name, const QByteArray &password)
{
    return WireU32(ServerMessageType::LoginRequest) + name.leftJustified(81, '\0', true)
        + password.leftJustified(81, '\0', true);
}

QByteArray MakeGif(int width, int height)
{
    const QString path = TestSupport::NewTempDir() + QStringLiteral("/made.gif");
    const int code = TestSupport::Run(QStringLiteral("/usr/bin/convert"),
                                      {QStringLiteral("-size"), QStringLiteral("%1x%2").arg(width).arg(height),
                                       QStringLiteral("gradient:red-blue"), QStringLiteral("gif:") + path});
    return code == 0 ? TestSupport::ReadFile(path) : QByteArray();
}
