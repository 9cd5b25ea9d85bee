// Load generator for bannerd: N concurrent clients on one event loop, each logging in once and
// then asking for its upload page M times in a row, with the protocol's own message classes.
// Prints throughput, login and page latencies and the error count. Bounded by a deadline.
//
//   bannerd_load --port P [--clients 200] [--pages 20] [--users 10] [--user-prefix load]
//                [--password PW] [--deadline 300]
#include "server/MessageSocket.h"
#include "server/ServerMessage.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
struct Totals {
    std::vector<double> loginMs;
    std::vector<double> pageMs;
    int errors = 0;
    int finished = 0;
    QStringList firstErrors;
};

class LoadClient : public QObject {
public:
    LoadClient(quint16 port, QString user, QString password, int pages, Totals &totals, std::function<void()> done)
        : m_messageSocket(&m_socket), m_user(std::move(user)), m_password(std::move(password)), m_pagesLeft(pages),
          m_totals(totals), m_done(std::move(done))
    {
        connect(&m_socket, &QTcpSocket::connected, this, [this] {
            Send(std::make_unique<LoginRequest>(&m_messageSocket, m_user, m_password));
        });
        connect(&m_socket, &QTcpSocket::readyRead, this, &LoadClient::OnReadyRead);
        connect(&m_socket, &QTcpSocket::errorOccurred, this, [this] { Fail(m_socket.errorString()); });
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    }

    void Abandon() { Fail(QStringLiteral("deadline passed")); }

private:
    void Send(std::unique_ptr<ServerMessage> request)
    {
        for (int step = 0; step < 8 && !request->BodySent(); ++step)
            if (request->SendStep() < 0)
                return Fail(QStringLiteral("send failed"));
        m_clock.restart();
    }

    void OnReadyRead()
    {
        while (!m_over) {
            const auto outcome = m_receiver.Receive(m_messageSocket);
            if (outcome == MessageReceiver::Outcome::Failed)
                return Fail(QStringLiteral("bad reply"));
            if (outcome == MessageReceiver::Outcome::Waiting)
                return;
            std::unique_ptr<ServerMessage> reply = m_receiver.TakeCurrent();
            m_receiver.Clear();
            const double ms = double(m_clock.nsecsElapsed()) / 1e6;
            if (reply->TypeCode() == ServerMessageType::LoginReply) {
                if (static_cast<LoginReply &>(*reply).Result() != 0)
                    return Fail(QStringLiteral("login refused"));
                m_totals.loginMs.push_back(ms);
            } else {
                const QByteArray page = static_cast<UploadPageReply &>(*reply).Page();
                if (!page.contains("type=\"file\"") || !page.contains("/upload/"))
                    return Fail(QStringLiteral("no upload form in the page"));
                m_totals.pageMs.push_back(ms);
                --m_pagesLeft;
            }
            if (m_pagesLeft == 0) {
                m_over = true;
                ++m_totals.finished;
                m_socket.disconnectFromHost();
                m_done();
                return;
            }
            Send(std::make_unique<UploadPageRequest>(&m_messageSocket, QString::fromLatin1(UploadPageRequest::kFixedPath)));
        }
    }

    void Fail(const QString &why)
    {
        if (m_over)
            return;
        m_over = true;
        ++m_totals.errors;
        if (m_totals.firstErrors.size() < 5)
            m_totals.firstErrors << QStringLiteral("%1: %2").arg(m_user, why);
        m_socket.abort();
        m_done();
    }

    QTcpSocket m_socket;
    QtMessageSocket m_messageSocket;
    MessageReceiver m_receiver{&CreateReply};
    QString m_user;
    QString m_password;
    int m_pagesLeft;
    Totals &m_totals;
    std::function<void()> m_done;
    QElapsedTimer m_clock;
    bool m_over = false;
};

double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t at = std::min(values.size() - 1, std::size_t(p * double(values.size() - 1) + 0.5));
    return values[at];
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{QStringLiteral("port"), QStringLiteral("protocol port"), QStringLiteral("P")},
                       {QStringLiteral("clients"), QStringLiteral("clients"), QStringLiteral("N"), QStringLiteral("200")},
                       {QStringLiteral("pages"), QStringLiteral("pages per client"), QStringLiteral("M"), QStringLiteral("20")},
                       {QStringLiteral("users"), QStringLiteral("accounts used"), QStringLiteral("U"), QStringLiteral("10")},
                       {QStringLiteral("user-prefix"), QStringLiteral("account name prefix"), QStringLiteral("S"), QStringLiteral("load")},
                       {QStringLiteral("password"), QStringLiteral("password"), QStringLiteral("PW"), QStringLiteral("load")},
                       {QStringLiteral("deadline"), QStringLiteral("seconds"), QStringLiteral("T"), QStringLiteral("300")}});
    parser.process(app);
    const quint16 port = quint16(parser.value(QStringLiteral("port")).toUInt());
    const int clients = parser.value(QStringLiteral("clients")).toInt();
    const int pages = parser.value(QStringLiteral("pages")).toInt();
    const int users = std::max(1, parser.value(QStringLiteral("users")).toInt());
    if (port == 0 || clients <= 0 || pages <= 0) {
        std::fputs("bannerd_load: needs --port and positive --clients and --pages\n", stderr);
        return 2;
    }

    Totals totals;
    int open = clients;
    QElapsedTimer wall;
    wall.start();
    std::vector<std::unique_ptr<LoadClient>> all;
    all.reserve(std::size_t(clients));
    for (int i = 0; i < clients; ++i) {
        const QString user = parser.value(QStringLiteral("user-prefix")) + QString::number(i % users);
        all.push_back(std::make_unique<LoadClient>(port, user, parser.value(QStringLiteral("password")), pages, totals,
                                                   [&] {
                                                       if (--open == 0)
                                                           app.quit();
                                                   }));
    }
    QTimer::singleShot(parser.value(QStringLiteral("deadline")).toInt() * 1000, &app, [&] {
        for (auto &client : all)
            client->Abandon();
    });
    app.exec();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const std::size_t requests = totals.loginMs.size() + totals.pageMs.size();

    std::printf("clients %d, pages per client %d, finished %d, errors %d\n", clients, pages, totals.finished, totals.errors);
    std::printf("wall time %.2f s; %zu requests, %.0f requests/s; %zu pages, %.0f pages/s\n", seconds, requests,
                double(requests) / seconds, totals.pageMs.size(), double(totals.pageMs.size()) / seconds);
    std::printf("login latency ms: p50 %.1f  p95 %.1f  p99 %.1f  max %.1f\n", Percentile(totals.loginMs, 0.5),
                Percentile(totals.loginMs, 0.95), Percentile(totals.loginMs, 0.99), Percentile(totals.loginMs, 1.0));
    std::printf("page latency ms:  p50 %.2f  p99 %.2f  max %.2f\n", Percentile(totals.pageMs, 0.5),
                Percentile(totals.pageMs, 0.99), Percentile(totals.pageMs, 1.0));
    for (const QString &line : totals.firstErrors)
        std::printf("error: %s\n", line.toLocal8Bit().constData());
    return totals.errors == 0 && totals.finished == clients ? 0 : 1;
}
