#pragma once
// The application-wide objects of the banner model: the four hidden imaging controls every
// subsystem borrows, the standard banner size, the two frame clipboards, the animated-GIF warning
// state, and the hooks through which the shell supplies windows and dialogs. The application owns
// exactly one for its whole run (tests make their own); while it lives it is installed as the
// items' context, so image items reach StampCtrl and WorkCtrl and items reach the property dialogs.
#include "items/ItemContext.h"
#include "platform/imaging/ImagingControl.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "document/DocumentView.h"

class CBannerDoc;
class CBannerFrame;

// Window management of a document's views, supplied by the shell.
class ViewWindowHost {
public:
    virtual ~ViewWindowHost() = default;
    // Brings the view's window to the front.
    virtual void ActivateViewWindow(DocumentView &view) = 0;
    // Closes the view's window (the view then leaves the document).
    virtual void CloseViewWindow(DocumentView &view) = 0;
    // Opens a new visible window with a view of this kind on the document; false when it cannot.
    virtual bool OpenViewWindow(CBannerDoc &doc, ViewKind kind) = 0;
};

// The document's dialogs, supplied by the shell.
class DocumentDialogs {
public:
    virtual ~DocumentDialogs() = default;
    // The Background dialog for the document's current frame; on OK (true) the chosen picture,
    // scaled to width x height, is the bitmap of `output`.
    virtual bool ShowBackgroundDialog(float width, float height, CBannerDoc &doc, ImagingControl &output) = 0;
    // The Frame Delay dialog opened with `delayMs`; the value typed on OK, nothing on Cancel.
    virtual std::optional<std::uint32_t> ShowFrameDelayDialog(std::uint32_t delayMs) = 0;
};

// Stands in for the document's own GIF import and export where a caller (a test) wants to
// watch which road a path takes.
class GifFiles {
public:
    virtual ~GifFiles() = default;
    // The document's read of a GIF file: every check, message and warning; true on success.
    virtual bool ReadGif(CBannerDoc &doc, const QString &path) = 0;
    // Writes the banner as an animated GIF and reloads the document from it; true on success.
    virtual bool SaveAsGif(CBannerDoc &doc, const QString &path) = 0;
};

class CoreContext {
public:
    CoreContext();
    // A context for work on another thread (the background GIF size estimate): its controls and
    // item context serve only the thread that makes it, which also destroys it; it reads no
    // settings and installs nothing for other threads.
    struct ForThisThread {
        qint64 memoryBudget;
    };
    explicit CoreContext(ForThisThread thread);
    ~CoreContext();
    CoreContext(const CoreContext &) = delete;
    CoreContext &operator=(const CoreContext &) = delete;

    // Hidden imaging controls: one frame at a time; GIF files and page lists; the image item's
    // pictures; background copies, dialog results and intermediate GIF pictures.
    ImagingControl RenderCtrl;
    ImagingControl FileCtrl;
    ImagingControl StampCtrl;
    ImagingControl WorkCtrl;

    // The standard banner size every new document copies.
    float m_fDefaultWidth = 468.0f;
    float m_fDefaultHeight = 60.0f;

    // Shared by all open documents and surviving the closing of any of them.
    std::unique_ptr<CBannerFrame> FrameClipboard;
    std::unique_ptr<PackedDib> BackgroundClipboard;

    // 0: the GifWarnDlg setting not read yet; 1: show the animated-GIF warning; 2: suppressed.
    std::int32_t m_gifWarnState = 0;
    // The same for the warning about frames shorter than 20 ms (the ShortFrameWarnDlg setting).
    std::int32_t m_shortFrameWarnState = 0;

    // How GIF export trades exactness for size. With both 0 every page is written exactly.
    struct GifExportOptions {
        int lossy = 0;       // the lowest lossy level to use (ImagingControl::SetGifLossy)
        qint64 budget = 0;   // bytes; > 0: the least lossy level from `lossy` up whose file fits
        bool dither = false; // reduce colours with dithering (GifExportSettings.h)
    };
    GifExportOptions m_gifOptions;
    // Set by the editor: every GIF export first takes m_gifOptions from the user's settings
    // (GifExportSettings), so a change in the options dialog counts from the next save on.
    bool gifOptionsFromSettings = false;

    // Bytes the frames of one banner may take (MemoryBudget.h), read from the settings at start.
    qint64 m_memoryBudget;

    // A batch tool's documents: no undo history, and a document saved as a GIF is not read back
    // from the file, since nobody looks at it afterwards.
    bool m_batch = false;

    // Set by the shell and the editor at start-up; none: the commands that need them do nothing.
    ViewWindowHost *viewHost = nullptr;
    DocumentDialogs *dialogs = nullptr;
    GifFiles *gifFiles = nullptr; // none: the document's own ReadGif and SaveAsGif
    // Called with the path of every successful Save As (the recently-used file list).
    std::function<void(const QString &)> addToRecentFiles;
    void SetItemDialogs(ItemDialogs *itemDialogs) { m_items.dialogs = itemDialogs; }
    ItemDialogs *GetItemDialogs() const { return m_items.dialogs; }

private:
    ItemContext m_items;
    ItemContext *m_previousItems = nullptr;
    bool m_thisThreadOnly = false;
};
