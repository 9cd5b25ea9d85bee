#include "platform/web/WebBrowserControl.h"

#include <QDir>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {
// Reads what Document() answers from: the content type and, per name or id, the first element
// in document order that carries it.
const char kSnapshotScript[] = R"JS(
(function () {
  var found = {};
  var all = document.getElementsByTagName('*');
  for (var i = 0; i < all.length; ++i) {
    var e = all[i];
    var keys = [e.id, e.getAttribute('name')];
    for (var k = 0; k < keys.length; ++k) {
      var key = keys[k];
      if (key && !Object.prototype.hasOwnProperty.call(found, key))
        found[key] = [e.tagName.toUpperCase(), e.tagName.toUpperCase() === 'META' ? String(e.content) : ''];
    }
  }
  return { type: String(document.contentType), elements: found };
})()
)JS";
} // namespace

class WebBrowserControl::Page : public QWebEnginePage {
public:
    Page(QWebEngineProfile *profile, WebBrowserControl *owner) : QWebEnginePage(profile, owner), m_owner(owner) {}

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override
    {
        if (!isMainFrame)
            return true;
        // Our own Navigate has announced its load already.
        if (type == NavigationTypeTyped && m_owner->m_loadIsOurs) {
            m_owner->m_loadIsOurs = false;
            return true;
        }
        return m_owner->OnNavigationRequest(url);
    }

private:
    WebBrowserControl *m_owner;
};

const WebBrowserControl::Element *WebBrowserControl::HtmlDocument::item(const QString &name) const
{
    const auto it = elements.constFind(name);
    return it == elements.constEnd() ? nullptr : &*it;
}

WebBrowserControl::WebBrowserControl(QWidget *parent) : QWidget(parent)
{
    // A profile of our own without a storage name keeps nothing on disk: no cookies or cache of
    // the server's pages survive the dialog.
    auto *profile = new QWebEngineProfile(this);
    m_view = new QWebEngineView(this);
    auto *page = new Page(profile, this);
    page->setParent(m_view);
    m_view->setPage(page);
    // A server's page shown from a local file must reach its server (the upload form posts
    // there), but never read other local files and carry them off.
    QWebEngineSettings *settings = page->settings();
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo &info) {
        switch (info.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            ++m_generation;
            break;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
        case QWebEngineLoadingInfo::LoadFailedStatus:
            OnLoadFinished();
            break;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            break; // stopped or replaced before it was shown: nothing completed
        }
    });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    setFocusProxy(m_view);
}

WebBrowserControl::~WebBrowserControl()
{
    // The page must go before its profile.
    delete m_view;
}

void WebBrowserControl::Navigate(const QString &address)
{
    // An absolute path is a local file (its name may hold anything, ":" included); anything
    // else is an address.
    const QUrl url = QDir::isAbsolutePath(address) ? QUrl::fromLocalFile(address) : QUrl(address);
    bool cancel = false;
    emit BeforeNavigate2(url.toString(), &cancel);
    if (cancel)
        return;
    m_loadIsOurs = true;
    m_view->load(url);
}

void WebBrowserControl::Stop()
{
    m_view->stop();
}

bool WebBrowserControl::OnNavigationRequest(const QUrl &url)
{
    bool cancel = false;
    emit BeforeNavigate2(url.toString(), &cancel);
    return !cancel;
}

void WebBrowserControl::OnLoadFinished()
{
    const quint64 generation = m_generation;
    const QString url = m_view->page()->url().toString();
    m_view->page()->runJavaScript(QString::fromLatin1(kSnapshotScript), QWebEngineScript::ApplicationWorld,
                                  [this, generation, url](const QVariant &result) {
        if (generation != m_generation)
            return; // another page is on its way
        const QVariantMap snapshot = result.toMap();
        const QString type = snapshot.value(QStringLiteral("type")).toString();
        if (type == QLatin1String("text/html") || type == QLatin1String("application/xhtml+xml")) {
            HtmlDocument document{url, {}};
            const QVariantMap elements = snapshot.value(QStringLiteral("elements")).toMap();
            for (auto it = elements.constBegin(); it != elements.constEnd(); ++it) {
                const QVariantList fields = it.value().toList();
                if (fields.size() == 2)
                    document.elements.insert(it.key(), Element{fields[0].toString(), fields[1].toString()});
            }
            m_document = std::move(document);
        } else {
            m_document.reset();
        }
        emit NavigateComplete2();
    });
}

const WebBrowserControl::HtmlDocument *WebBrowserControl::Document() const
{
    return m_document ? &*m_document : nullptr;
}

void WebBrowserControl::TakeFocus()
{
    m_view->setFocus(Qt::OtherFocusReason);
}

int WebBrowserControl::ReadPageMeta(const QString &name, int bufferSize, QString *content) const
{
    const HtmlDocument *document = Document();
    if (!document)
        return -1;
    const Element *element = document->item(name);
    if (!element || element->tag != QLatin1String("META") || element->content.size() >= bufferSize)
        return -1;
    *content = element->content;
    return 0;
}
