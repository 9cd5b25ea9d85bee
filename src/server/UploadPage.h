#pragma once
// The upload exchange as the core sees it: where the server's personal upload page is stored,
// what the result page's status word means, and the upload dialog behind an interface that the
// editor registers at start-up (the dialog embeds a web browser and lives outside the core).
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

// Outcomes of storing the upload page.
enum class UploadPageOutcome { Stored = 0, Empty = -1, NotCreated = -2, NoFolder = -3 };

// The page file for a login name: "<VKDir>/Misc/u<name>.html" where the name has \ / : ? " < > |
// replaced by '_' and the file name is in lower case. The folder keeps its case: on this file
// system a lower-cased folder would be another folder.
QString UploadPagePath(const QString &vkDir, const QString &loginName);
// The installation folder (VKDir of the machine settings), or none when it cannot be read.
std::optional<QString> InstallationFolder();
// Writes the page for the login name (atomically: a failed write keeps no half page) and sets
// *path to it on success.
UploadPageOutcome StoreUploadPage(const QString &loginName, const QByteArray &page, QString *path);
// The message for an outcome other than Stored.
QString UploadPageMessage(UploadPageOutcome outcome);

// Status of a result page from its VKUpload_Status content (none: no such element, or a
// content too long to read): 0 success, -2 size, -3 dimensions, -4 format, -1 anything else.
int UploadStatusFromWord(const std::optional<QString> &word);

class UploadPrompt {
public:
    virtual ~UploadPrompt() = default;
    // Shows the stored upload page modally until the user closes the dialog.
    virtual void Show(const QString &pagePath) = 0;

    // The registered instance; before any registration one that records the paths stands in.
    static UploadPrompt &Instance();
    static void Register(UploadPrompt *prompt);
};

// Records the pages it was asked to show and runs an optional step while "open".
class ScriptedUploadPrompt : public UploadPrompt {
public:
    void Show(const QString &pagePath) override;
    std::vector<QString> shown;
    std::function<void(const QString &)> whileOpen;
};
