#pragma once
// The embedded web browser the upload dialog shows its pages in, over Qt WebEngine. It loads
// local files and addresses, stops, reports the start of every main-frame navigation with its
// target (which the listener may cancel) and its completion, and gives the shown page's address
// and its named elements.
//
// Page scripting in WebEngine is asynchronous. So that callers stay synchronous, every finished
// page is read once, in a script world of our own that page scripts cannot reach: its address,
// its content type and, per name or id, the first element carrying it (tag and META content).
// NavigateComplete2 is raised only once that snapshot is in, and Document() answers from it.
#include <QHash>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <optional>

class QWebEngineView;
class QWebEngineLoadingInfo;

class WebBrowserControl : public QWidget {
    Q_OBJECT
public:
    // The shown page as read after it finished loading.
    struct Element {
        QString tag;     // upper case, "META" for a META element
        QString content; // the content attribute of a META element
    };
    struct HtmlDocument {
        QString url;                       // the page's address
        QHash<QString, Element> elements;  // first element per name or id
        // The first element of that name or id, or none.
        const Element *item(const QString &name) const;
    };

    explicit WebBrowserControl(QWidget *parent = nullptr);
    ~WebBrowserControl() override;

    // Starts loading an absolute local file path or an address and returns at once; BeforeNavigate2 is
    // raised first (a cancel there loads nothing), NavigateComplete2 follows when it is shown.
    void Navigate(const QString &address);
    void Stop();
    // The current document when it is an HTML page, else none.
    const HtmlDocument *Document() const;
    // Keyboard focus to the page.
    void TakeFocus();
    // The content of the META element of that name or id, when it is shorter than bufferSize
    // characters (room for the terminator of a buffer of that size): 0, else -1.
    int ReadPageMeta(const QString &name, int bufferSize, QString *content) const;

    QWebEngineView *View() const { return m_view; }

signals:
    // A main-frame navigation to `target` is about to start; set *cancel to stop it.
    void BeforeNavigate2(const QString &target, bool *cancel);
    void NavigateComplete2();

private:
    class Page;
    bool OnNavigationRequest(const QUrl &url);
    void OnLoadFinished();

    QWebEngineView *m_view;
    std::optional<HtmlDocument> m_document;
    bool m_loadIsOurs = false; // the next request is our own Navigate, already announced
    quint64 m_generation = 0;  // loads started; a late snapshot of an older one is dropped
};

// The browser as the upload dialog calls it.
using CWebBrowser2 = WebBrowserControl;
