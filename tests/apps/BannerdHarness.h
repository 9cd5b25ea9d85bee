#pragma once
// Runs bannerd as a process on free loopback ports with its own database and data folder, and
// talks to it the way the editor does: the binary protocol over a QTcpSocket with the
// protocol's own message classes, and form uploads over HTTP.
#include "server/MessageSocket.h"
#include "server/ServerMessage.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>
#include <memory>

class BannerdProcess {
public:
    ~BannerdProcess();
    // Starts "bannerd serve" on ports 0 and waits for its listening line.
    bool Start(const QStringList &extraArgs = {});
    void Stop();
    // "bannerd adduser"; the password goes to standard input followed by a line end.
    int AddUser(const QString &name, const QByteArray &password, QByteArray *stdErr = nullptr);

    quint16 ProtocolPort() const { return m_protocolPort; }
    quint16 HttpPort() const { return m_httpPort; }
    QString Db() const { return m_dir + QStringLiteral("/accounts.db"); }
    QString DataDir() const { return m_dir + QStringLiteral("/banners"); }
    QString Dir() const { return m_dir; }
    bool Running() const { return m_process.state() == QProcess::Running; }
    // The server's resident memory now, from /proc (0 when unknown).
    qint64 ResidentKiB() const;
    QByteArray Log() { return m_log += m_process.readAllStandardError(); }
    // Every stored banner below the data folder, as paths relative to it.
    QStringList StoredFiles() const;

private:
    QString m_dir;
    QProcess m_process;
    QByteArray m_log;
    quint16 m_protocolPort = 0;
    quint16 m_httpPort = 0;
};

class ProtocolClient {
public:
    ProtocolClient();
    bool Connect(quint16 port);
    void Write(const QByteArray &raw);
    void Send(ServerMessage &request);
    // The next complete reply, or none when the connection closes, a reply is malformed or
    // nothing comes within the time.
    std::unique_ptr<ServerMessage> NextReply(int timeoutMs = 10000);
    // Logs in; the reply's result, or -1 when no reply came.
    qint64 Login(const QString &user, const QString &password);
    // Requests the upload page; its bytes (empty for N = 0). *ok is false when no reply came.
    QByteArray UploadPage(bool *ok = nullptr);
    // True once the server has closed the connection (within the time).
    bool WaitClosed(int timeoutMs);
    void Close();
    QTcpSocket &Socket() { return m_socket; }

private:
    QTcpSocket m_socket;
    QtMessageSocket m_messageSocket;
    MessageReceiver m_receiver{&CreateReply};
};

struct UploadResult {
    int httpStatus = 0; // 0: no answer
    QString status;     // content of the VKUpload_Status META element
    QByteArray body;
};

// The upload form's parts: its action address and the number of file inputs.
struct UploadForm {
    QString action;
    bool post = false;
    bool multipart = false;
    int fileInputs = 0;
};
UploadForm ParseUploadForm(const QByteArray &page);
// Connects (unless connected), logs in and returns the form of the user's upload page; empty
// when any step fails.
UploadForm LoggedInForm(ProtocolClient &client, quint16 port, const QString &user, const QString &password);
// The content of a result page's VKUpload_Status META element.
QString UploadStatus(const QByteArray &page);
UploadResult PostBanner(const QString &action, const QByteArray &file, const QString &fileName = QStringLiteral("banner.gif"));
// Raw protocol bytes, for clients that misbehave: a little-endian number, a whole login request.
QByteArray WireU32(std::uint32_t value);
QByteArray WireLogin(const QByteArray &name, const QByteArray &password);
// A GIF of the given size made by ImageMagick.
QByteArray MakeGif(int width, int height);
