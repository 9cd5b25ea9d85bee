#pragma once
// The modal "Vellumark: Internet Dialog" (template 157): the user's upload page in the embedded
// browser. The page itself sends the GIF; when the page that follows the upload page has
// loaded, its VKUpload_Status word decides between the installation's success and error pages.
// From those (and from the server's result page) a link to "myback.html" brings the upload
// page back, so the user can upload again in the same dialog.
#include "resource.h"
#include "server/UploadPage.h"

#include <QDialog>

class QPushButton;
class WebBrowserControl;

class UploadDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = IDD_UPLOAD;
    static constexpr int kBrowserId = IDC_BROWSER;
    static constexpr int kStopId = IDC_UPLOAD_STOP;

    // Navigation states: 1 while the next completed page is taken as the server's result.
    enum State { kNone = 0, kAwaitingResult = 1, kLocalPage = 2 };

    // `pagePath` is the stored upload page. The pages load once the dialog runs.
    explicit UploadDialog(const QString &pagePath, QWidget *parent = nullptr);

    WebBrowserControl *Browser() const { return m_browser; }
    QPushButton *StopButton() const { return m_stop; }
    QPushButton *CloseButton() const { return m_close; }
    int NavigationState() const { return m_state; }
    QString SuccessPagePath() const { return m_successPage; }
    QString ErrorPagePath() const { return m_errorPage; }

private:
    void OnInitDialog();
    void OnBeforeNavigate2(const QString &target, bool *cancel);
    void OnNavigateComplete2();
    void OnStop();

    QString m_pagePath;
    int m_state = kNone;
    bool m_ready = false;
    QString m_errorPage;
    QString m_successPage;

    WebBrowserControl *m_browser;
    QPushButton *m_stop;
    QPushButton *m_close;
};

// The UploadPrompt the editor registers: runs UploadDialog modally over `parent`.
class QtUploadPrompt : public UploadPrompt {
public:
    explicit QtUploadPrompt(QWidget *parent = nullptr) : m_parent(parent) {}
    void Show(const QString &pagePath) override;

private:
    QWidget *m_parent;
};
