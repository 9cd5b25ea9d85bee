#pragma once
// The document's link in the command chain: the Frame menu, Undo / Redo, the two view toggles and
// Save / Save As of one open banner, with the title the windows show.
#include "editor/CommandTarget.h"

#include <QString>
#include <functional>
#include <memory>

class CBannerDoc;
class GifSizeEstimate;

class DocumentCommands : public CommandTarget {
public:
    explicit DocumentCommands(std::unique_ptr<CBannerDoc> doc, QString title);
    ~DocumentCommands() override;

    CBannerDoc &Doc() const { return *m_doc; }
    const QString &Title() const { return m_title; }
    void SetTitle(const QString &title) { m_title = title; }

    // Called after a save that gave the document a new path (title and recent files follow).
    void SetSavedHandler(std::function<void(DocumentCommands &)> saved) { m_saved = std::move(saved); }
    // The live size of the document's GIF, shown in the status bar; none until one is given.
    void SetGifEstimate(std::unique_ptr<GifSizeEstimate> estimate);
    GifSizeEstimate *GifEstimate() const { return m_gifEstimate.get(); }
    // Whether Frame > Load Background has its dialog.
    void SetBackgroundDialogAvailable(bool available) { m_backgroundDialog = available; }

    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(unsigned id, CommandState &state) override;

private:
    std::unique_ptr<CBannerDoc> m_doc;
    std::unique_ptr<GifSizeEstimate> m_gifEstimate; // watches m_doc: goes first
    QString m_title;
    std::function<void(DocumentCommands &)> m_saved;
    bool m_backgroundDialog = false;
};
