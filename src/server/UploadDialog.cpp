#include "server/UploadDialog.h"

#include "platform/Prompts.h"
#include "platform/web/WebBrowserControl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {
const QString kStatusElement = QStringLiteral("VKUpload_Status");
constexpr int kStatusBufferSize = 50;

// Addresses compare in lower case and without percent escapes, so that a folder with blanks
// or non-ASCII letters matches however the engine spells it.
QString Comparable(const QString &address)
{
    return QUrl::fromPercentEncoding(address.toUtf8()).toLower();
}
} // namespace

UploadDialog::UploadDialog(const QString &pagePath, QWidget *parent) : QDialog(parent), m_pagePath(pagePath)
{
    setWindowTitle(QStringLiteral("Vellumark: Internet Dialog"));
    setModal(true);

    m_browser = new WebBrowserControl(this);
    m_browser->setProperty("controlId", kBrowserId);
    m_stop = new QPushButton(QStringLiteral("&Stop"), this);
    m_stop->setProperty("controlId", kStopId);
    m_stop->setAutoDefault(false);
    m_stop->setEnabled(false);
    m_close = new QPushButton(QStringLiteral("&Close"), this);
    m_close->setAutoDefault(false);
    connect(m_stop, &QPushButton::clicked, this, &UploadDialog::OnStop);
    connect(m_close, &QPushButton::clicked, this, &UploadDialog::reject);
    connect(m_browser, &WebBrowserControl::BeforeNavigate2, this, &UploadDialog::OnBeforeNavigate2);
    connect(m_browser, &WebBrowserControl::NavigateComplete2, this, &UploadDialog::OnNavigateComplete2);

    auto *note = new QLabel(QStringLiteral("Note: Please ensure that you are connected to the Internet."), this);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(note, 1);
    bottom->addWidget(m_stop);
    bottom->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_browser, 1);
    layout->addLayout(bottom);
    resize(720, 520);

    // The first page loads once the dialog runs, so that a message about it has a dialog to
    // stand over.
    QMetaObject::invokeMethod(this, &UploadDialog::OnInitDialog, Qt::QueuedConnection);
}

void UploadDialog::OnInitDialog()
{
    const std::optional<QString> dir = InstallationFolder();
    if (!dir) {
        Prompts::Instance().Message(QStringLiteral("Error reading from registry. Cannot continue."));
        return;
    }
    m_errorPage = *dir + QStringLiteral("/Misc/UError.html");
    m_successPage = *dir + QStringLiteral("/Misc/USuccess.html");
    m_browser->Navigate(m_pagePath);
    // The page takes the keys from the start: the dialog asks to be the active window itself
    // (a window manager would make it so, but the page must not depend on one).
    activateWindow();
    m_browser->TakeFocus();
    m_ready = true;
}

void UploadDialog::OnBeforeNavigate2(const QString &target, bool *cancel)
{
    if (!m_ready)
        return;
    const QString to = Comparable(target);
    const WebBrowserControl::HtmlDocument *shown = m_browser->Document();
    if (!shown || shown->url.isEmpty())
        return;
    const QString shownPath = QUrl(shown->url).path().toLower();
    m_stop->setEnabled(true);

    if (shownPath.contains(m_pagePath.toLower())) {
        m_state = kAwaitingResult; // leaving the upload page: what comes next is the result
    } else if (to.contains(Comparable(m_errorPage)) || to.contains(Comparable(m_successPage))) {
        m_state = kLocalPage;
    } else if (to.contains(QLatin1String("myback.html"))) {
        // Back to the upload page instead of the link's own target, which would race with it.
        *cancel = true;
        QMetaObject::invokeMethod(this, [this] { m_browser->Navigate(m_pagePath); }, Qt::QueuedConnection);
        m_state = kNone;
    } else {
        m_state = kNone;
    }
}

void UploadDialog::OnNavigateComplete2()
{
    if (!m_ready)
        return;
    m_stop->setEnabled(false);
    if (m_state == kAwaitingResult) {
        QString word;
        const bool read = m_browser->ReadPageMeta(kStatusElement, kStatusBufferSize, &word) == 0;
        const int status = UploadStatusFromWord(read ? std::optional<QString>(word) : std::nullopt);
        m_browser->Navigate(status == 0 ? m_successPage : m_errorPage);
    }
    m_browser->TakeFocus();
}

void UploadDialog::OnStop()
{
    m_browser->Stop();
    // A stopped load never completes: nothing is loading any more.
    m_stop->setEnabled(false);
}

void QtUploadPrompt::Show(const QString &pagePath)
{
    UploadDialog dialog(pagePath, m_parent);
    dialog.exec();
}
