#pragma once
// CBannerDoc: the model of one open banner. It owns its frames, knows the selected one, and tells
// its views what changed through update hints. It handles the Frame menu and the two view toggles;
// windows and dialogs come from the shell through the core context's hooks.
#include "document/BannerFrame.h"
#include "document/CoreContext.h"
#include "document/DocumentView.h"
#include "document/EditHistory.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class ImagingControl;

class CBannerDoc {
public:
    // A document belongs to the application's core context, which must outlive it. It starts
    // empty: the framework calls OnNewDocument, or DeleteContents and then a read.
    explicit CBannerDoc(CoreContext &context);
    ~CBannerDoc();
    CBannerDoc(const CBannerDoc &) = delete;
    CBannerDoc &operator=(const CBannerDoc &) = delete;

    CoreContext &Context() const { return m_context; }

    // A new banner: one frame (no background, white, the default delay), not marked modified.
    bool OnNewDocument();
    // Removes and destroys every frame.
    void DeleteContents();

    // Frame list. A missing frame and an index outside the array make these do nothing.
    void AddFrame(std::unique_ptr<CBannerFrame> frame);
    // Inserts before the frame at `index` (0 <= index < count); false when refused.
    bool InsertFrame(std::unique_ptr<CBannerFrame> frame, int index);
    bool RemoveFrame(int index);
    // Selects the frame, clamping the index into the frames, and sends hint 8 to every view but sender.
    void SetCurrentFrame(int index, DocumentView *sender = nullptr);
    int GetFrameCount() const { return int(m_frames.size()); }
    CBannerFrame *GetFrame(int index) const;
    int GetCurrentFrameIndex() const { return m_nCurrentFrame; }
    // The frame at the current index; none when the index lies outside the frames.
    CBannerFrame *GetCurrentFrame() const { return GetFrame(m_nCurrentFrame); }

    // Renders every frame into the page list of `target` (FileCtrl when none is given), page i
    // being frame i, through RenderCtrl.
    void RenderAllFrames(ImagingControl *target = nullptr);
    // Frame k rendered through `render`, which PrepareRendering made ready; a control of its own
    // lets another thread render frames at the same time.
    void PrepareRendering(ImagingControl &render) const;
    ImagingBitmap RenderFrame(int k, ImagingControl &render) const;

    // Modified flag.
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }

    // The undo history; a change made through a command is recorded into it as one step.
    EditHistory &History() { return *m_history; }
    const EditHistory &History() const { return *m_history; }

    // The file the document was read from or saved to; empty for a new document.
    const QString &GetPathName() const { return m_strPathName; }
    void SetPathName(const QString &path) { m_strPathName = path; }

    // Opening and saving (DocumentFiles.cpp). A path whose lower-cased text contains ".bnr" is a
    // banner file, any other with ".gif" a GIF.
    // Reads the file into this document; false (with its message shown) when it cannot.
    bool OnOpenDocument(const QString &path);
    // Saves to the path as a banner file or, for any other path, as a GIF; clears the modified flag.
    bool OnSaveDocument(const QString &path);
    // File > Save: Save As when the document has no file or its file is read-only or gone.
    bool OnFileSave();
    // File > Save As: asks for a name, completes a missing extension from the chosen filter and
    // refuses names that are neither banner files nor GIFs. True when saved.
    bool OnFileSaveAs();
    // The save of a modified document that is being closed: in place when its file can be
    // written, otherwise under a name asked with the banner type's own filter and extension.
    bool DoFileSave();
    static QString SaveAsFilter();
    static QString InvalidExtensionMessage();

    // Animated GIF files (GifImport.cpp, GifExport.cpp). ReadGif is the document's read of a file
    // that is not a banner file: format and size checks, the animated-GIF warning, then LoadGif.
    // LoadGif replaces every frame by the picture a viewer shows at each page of the file, read
    // through `control` (FileCtrl), and changes nothing when it fails. SaveAsGif writes the
    // banner as an animated GIF and reloads the document from the written file; after a failed
    // reload the document keeps its frames.
    bool ReadGif(const QString &path);
    bool LoadGif(const QString &path, ImagingControl &control);
    bool SaveAsGif(const QString &path);
    // The colour and palette index for the transparent pixels of the pages after the first, a
    // colour no page uses; index -1 (after telling the user) when there is none.
    static COLORREF ChooseTransparentColor(ImagingControl &control, int *index);
    // Shows the animated-GIF warning unless the user turned it off (the GifWarnDlg setting).
    static void ShowGifWarning(CoreContext &context);
    // The message of a GIF export that no lossy level brings within the size budget.
    static QString BudgetMessage(qint64 smallest, qint64 budget);

    enum class GifStatus {
        Ready,              // the pages are ready to be written
        NoTransparentColor, // every colour is taken: the export says VKERR_SEL_TRANSCOLOR
        OverBudget,         // no lossy level brings the file within the options' budget
        Stopped,            // the caller asked to stop
        NotEncoded,         // the pages could not be encoded
    };
    struct GifOutcome {
        GifStatus status = GifStatus::Ready;
        int bits = 8;     // the colour depth of the file
        qint64 bytes = 0; // MeasureGif: the file's size; OverBudget: the smallest file reached
    };
    // What SaveAsGif would write now with `options`, encoded in memory through this document's
    // context's controls, with no prompt, no progress and no change to the document; `stop` is
    // asked after every page and ends the work early when it says so. Renders and encodes every
    // frame: work for another thread with a context of its own.
    GifOutcome MeasureGif(const CoreContext::GifExportOptions &options, const std::function<bool()> &stop);

    // Views observe the document; they add themselves on creation and remove themselves before
    // they go.
    void AddView(DocumentView *view);
    void RemoveView(DocumentView *view);
    const std::vector<DocumentView *> &Views() const { return m_views; }
    DocumentView *FindView(ViewKind kind) const;
    // Sends the hint to every view except `sender`.
    void UpdateAllViews(DocumentView *sender, long hint = hintNone, CSprite *item = nullptr);

    // Frame menu.
    void OnFrameAdd();
    void OnFrameDelete();
    void OnFrameCut();
    void OnFrameCopy();
    void OnFramePaste();
    void OnFrameCopyBackground();
    void OnFramePasteBackground();
    void OnFrameDeleteBackground();
    void OnFrameLoadBackground();
    void OnFrameDelay();
    // Enable rules of the Frame menu (true: enabled).
    bool OnUpdateFrameAdd() const { return true; }
    bool OnUpdateFrameDelete() const { return GetFrameCount() > 1; }
    bool OnUpdateFrameCut() const { return GetFrameCount() > 1; }
    bool OnUpdateFrameCopy() const { return true; }
    bool OnUpdateFramePaste() const;
    bool OnUpdateFrameCopyBackground() const { return true; }
    bool OnUpdateFramePasteBackground() const;
    bool OnUpdateFrameDeleteBackground() const { return true; }
    bool OnUpdateFrameLoadBackground() const { return true; }
    bool OnUpdateFrameDelay() const { return true; }

    // View menu toggles: close the document's window of that kind, or open one.
    void OnViewFrames();
    void OnViewBanner();
    // Both are always enabled; true: checked, the document has a view of that kind.
    bool OnUpdateViewFrames() const { return FindView(ViewKind::FramesView) != nullptr; }
    bool OnUpdateViewBanner() const { return FindView(ViewKind::BannerView) != nullptr; }

    // Fields, in the order of the banner file's header.
    std::uint32_t m_nVersionMajor = 1;
    std::uint32_t m_nVersionMinor = 0;
    float m_fWidth;
    float m_fHeight;
    std::int32_t m_nCurrentFrame = 0;
    COLORREF m_crDefaultBackground = 0x00FFFFFF;
    std::uint32_t m_nDefaultDelay = 1000;
    std::int32_t m_bLoop = -1; // -1 repeats for ever, 0 plays once, n > 0 repeats n times (a GIF's loop count)
    std::vector<std::unique_ptr<CBannerFrame>> m_frames;

private:
    // Everything SaveAsGif does before the file is written: renders every frame into FileCtrl and
    // makes the pages what the file holds; `pageDone(k)` after page k, false stops. On any status
    // but Ready the page list is gone. In the background (the live estimate) it keeps to the
    // calling thread, leaving the other core to the interface.
    GifOutcome PrepareGif(const CoreContext::GifExportOptions &options, const std::function<bool(int)> &pageDone,
                          bool background = false);
    // Rendering frames one by one: StartRendering empties `out` and gives it the banner's loop,
    // then RenderFrame(k) renders frame k through RenderCtrl and returns it with its delay.
    void StartRendering(ImagingControl &out);
    ImagingBitmap RenderFrame(int k) { return RenderFrame(k, m_context.RenderCtrl); }
    void ToggleView(ViewKind kind);
    void DeleteCurrentFrame();
    // Saves under a new name; on success the document takes it and it enters the recent files.
    bool SaveToNewPath(const QString &path);

    CoreContext &m_context;
    bool m_bModified = false;
    QString m_strPathName;
    std::vector<DocumentView *> m_views;
    std::unique_ptr<EditHistory> m_history;
};
