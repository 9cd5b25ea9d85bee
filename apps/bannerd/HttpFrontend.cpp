#include "HttpFrontend.h"

#include "BannerStore.h"
#include "Log.h"
#include "Pages.h"
#include "UploadTokens.h"

#include <httplib.h>
#include <sodium.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {
// Room for the multipart envelope around a file that is just within the limit, so such a file
// reaches the checks and gets its own answer. Larger bodies are refused by the library while
// being read (status 413) and never held in memory.
constexpr std::size_t kEnvelope = 64 * 1024;
// How long a body waits for room in memory before the server says it is busy.
constexpr std::chrono::seconds kBodySlotWait{2};

void Answer(httplib::Response &res, int status, const char *word, const QString &message)
{
    res.status = status;
    const QByteArray page = Pages::ResultPage(word, message);
    res.set_content(page.constData(), std::size_t(page.size()), "text/html; charset=utf-8");
}

const httplib::MultipartFormData *BannerPart(const httplib::Request &req)
{
    if (const auto named = req.files.find("banner"); named != req.files.end())
        return &named->second;
    for (const auto &part : req.files)
        if (!part.second.filename.empty())
            return &part.second;
    return nullptr;
}
} // namespace

struct HttpFrontend::Impl {
    UploadTokens &tokens;
    const BannerStore &store;
    std::size_t maxUpload;
    HttpServer server;
    std::thread thread;
    std::atomic<bool> listenReturned{false};

    void HandleUpload(const httplib::Request &req, httplib::Response &res);
};

HttpFrontend::HttpFrontend(UploadTokens &tokens, const BannerStore &store, std::size_t maxUpload,
                           const HttpLimits &limits)
    : m_impl(new Impl{tokens, store, maxUpload, HttpServer(limits), {}})
{
    HttpServer &server = m_impl->server;
    server.set_payload_max_length(maxUpload + kEnvelope);

    // Bodies without a length (chunked, or read until the peer closes) would bypass the size
    // limit while being read: refuse them before anything is read. Browsers send form uploads
    // with a Content-Length.
    Impl *impl = m_impl.get();
    server.set_pre_routing_handler([impl](const httplib::Request &req, httplib::Response &res) {
        if (req.method != "POST")
            return httplib::Server::HandlerResponse::Unhandled;
        if (req.has_header("Transfer-Encoding") || !req.has_header("Content-Length")) {
            Answer(res, 411, Pages::kFileSize, QStringLiteral("The upload must state its length."));
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!impl->server.TakeBodySlot(kBodySlotWait)) {
            res.set_header("Retry-After", "5");
            Answer(res, 503, Pages::kServerError, QStringLiteral("The server is busy. Try again in a moment."));
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.Post(R"(/upload/([^/]*))", [impl](const httplib::Request &req, httplib::Response &res) {
        impl->HandleUpload(req, res);
    });
    server.Get("/myback.html", [](const httplib::Request &, httplib::Response &res) {
        const QByteArray page = Pages::BackPage();
        res.set_content(page.constData(), std::size_t(page.size()), "text/html; charset=utf-8");
    });
    server.set_error_handler([impl](const httplib::Request &, httplib::Response &res) {
        if (!res.body.empty())
            return; // an answer of our own
        switch (HttpServer::CurrentFault()) {
        case HttpReadFault::HeadersTooLarge:
            Answer(res, 431, Pages::kFileFormat, QStringLiteral("The request's header lines are too long or too many."));
            return;
        case HttpReadFault::TimedOut:
            Answer(res, 408, Pages::kServerError, QStringLiteral("The upload did not arrive in time. Try again."));
            return;
        case HttpReadFault::None:
            break;
        }
        switch (res.status) {
        case 404: {
            const QByteArray page = Pages::NotFoundPage();
            res.set_content(page.constData(), std::size_t(page.size()), "text/html; charset=utf-8");
            return;
        }
        case 413:
            Answer(res, 413, Pages::kFileSize,
                   QStringLiteral("The upload is larger than %1 bytes.").arg(impl->maxUpload));
            return;
        default:
            // Whatever the library could not read (a request line, headers or a multipart body
            // that do not parse, too many parts) is an upload in a form we do not take.
            if (res.status >= 400 && res.status < 500) {
                Answer(res, res.status, Pages::kFileFormat, QStringLiteral("The upload could not be read."));
                return;
            }
            Answer(res, res.status, Pages::kServerError, QStringLiteral("The server could not take the upload."));
            return;
        }
    });
}

HttpFrontend::~HttpFrontend()
{
    Stop();
}

int HttpFrontend::Start(const std::string &host, int port, QString *error)
{
    HttpServer &server = m_impl->server;
    int bound = port;
    if (port == 0)
        bound = server.bind_to_any_port(host);
    else if (!server.bind_to_port(host, port))
        bound = -1;
    if (bound <= 0) {
        *error = QStringLiteral("cannot listen for HTTP on %1:%2").arg(QString::fromStdString(host)).arg(port);
        return -1;
    }
    m_impl->listenReturned = false;
    m_impl->thread = std::thread([impl = m_impl.get()] {
        impl->server.listen_after_bind();
        impl->listenReturned = true;
    });
    return bound;
}

void HttpFrontend::Stop()
{
    if (!m_impl->thread.joinable())
        return;
    // stop() only acts once the listening thread has entered its accept loop; a stop that comes
    // earlier (a start-up that fails right after binding) would leave the thread waiting forever.
    while (!m_impl->listenReturned) {
        m_impl->server.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    m_impl->thread.join();
}

void HttpFrontend::Impl::HandleUpload(const httplib::Request &req, httplib::Response &res)
{
    const std::string token = req.matches[1];
    const std::optional<QString> user = tokens.Redeem(token);
    if (!user) {
        Log(QStringLiteral("upload refused: unknown or expired token from %1").arg(QString::fromStdString(req.remote_addr)));
        Answer(res, 403, Pages::kBadToken,
               QStringLiteral("This upload page is no longer valid. Choose Upload GIF in Vellumark again."));
        return;
    }
    const httplib::MultipartFormData *part = req.is_multipart_form_data() ? BannerPart(req) : nullptr;
    if (!part) {
        Answer(res, 400, Pages::kFileFormat, QStringLiteral("No file was sent."));
        return;
    }
    switch (CheckBanner(part->content, maxUpload)) {
    case BannerCheck::TooLarge:
        Answer(res, 413, Pages::kFileSize, QStringLiteral("The file is larger than %1 bytes.").arg(maxUpload));
        return;
    case BannerCheck::NotGif:
        Answer(res, 200, Pages::kFileFormat, QStringLiteral("The file is not a GIF picture."));
        return;
    case BannerCheck::WrongSize:
        Answer(res, 200, Pages::kFileDim, QStringLiteral("A banner must be 468 × 60 pixels."));
        return;
    case BannerCheck::Ok:
        break;
    }
    // A client that timed out waiting for our answer may send the same upload again.
    unsigned char hash[crypto_generichash_BYTES];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char *>(part->content.data()),
                       part->content.size(), nullptr, 0);
    const std::string digest(reinterpret_cast<const char *>(hash), sizeof hash);
    if (!tokens.ClaimUpload(token, digest)) {
        Log(QStringLiteral("upload by %1 came again; stored once").arg(LogText(*user)));
        Answer(res, 200, Pages::kSuccess, QStringLiteral("Your banner was uploaded."));
        return;
    }
    QString why;
    const QString stored = store.Store(*user, part->content, QDateTime::currentDateTimeUtc(), &why);
    if (stored.isEmpty()) {
        tokens.ReleaseUpload(token, digest);
        Log(QStringLiteral("upload by %1 not stored: %2").arg(LogText(*user), why));
        Answer(res, 500, Pages::kServerError, QStringLiteral("The server could not store the banner. Try again later."));
        return;
    }
    Log(QStringLiteral("upload by %1 stored as %2 (%3 bytes)").arg(LogText(*user), LogText(stored)).arg(part->content.size()));
    Answer(res, 200, Pages::kSuccess, QStringLiteral("Your banner was uploaded."));
}
