#pragma once
// The HTTP side of bannerd: takes the multipart upload that an upload page posts, checks it,
// stores accepted banners and answers with a result page. cpp-httplib runs it on its own
// threads; the token registry and the banner store are safe to use from them.
#include "HttpServer.h"

#include <QString>
#include <memory>
#include <string>

class BannerStore;
class UploadTokens;

class HttpFrontend {
public:
    HttpFrontend(UploadTokens &tokens, const BannerStore &store, std::size_t maxUpload,
                 const HttpLimits &limits = {});
    ~HttpFrontend();
    HttpFrontend(const HttpFrontend &) = delete;
    HttpFrontend &operator=(const HttpFrontend &) = delete;

    // Binds host:port (port 0 takes a free one) and starts serving on a thread of its own.
    // Returns the port, or -1 with a reason.
    int Start(const std::string &host, int port, QString *error);
    void Stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
