#pragma once
// Stand-ins for what the shell supplies to a document: views that record the hints they receive,
// a window host that records what it was asked, and scripted Background / Frame Delay dialogs.
#include "document/BannerDoc.h"
#include "document/CoreContext.h"

#include <deque>
#include <optional>
#include <utility>
#include <vector>

class RecordingView : public DocumentView {
public:
    RecordingView(CBannerDoc &doc, ViewKind kind) : m_doc(doc), m_kind(kind) { doc.AddView(this); }
    ~RecordingView() override { m_doc.RemoveView(this); }
    ViewKind Kind() const override { return m_kind; }
    void OnUpdate(DocumentView *, long hint, CSprite *) override { hints.push_back(hint); }

    std::vector<long> hints;

private:
    CBannerDoc &m_doc;
    ViewKind m_kind;
};

class RecordingHost : public ViewWindowHost {
public:
    void ActivateViewWindow(DocumentView &view) override { calls.push_back({"activate", &view}); }
    void CloseViewWindow(DocumentView &view) override { calls.push_back({"close", &view}); }
    bool OpenViewWindow(CBannerDoc &, ViewKind kind) override
    {
        opened.push_back(kind);
        return true;
    }

    std::vector<std::pair<const char *, DocumentView *>> calls;
    std::vector<ViewKind> opened;
};

class ScriptedDocumentDialogs : public DocumentDialogs {
public:
    // The Background dialog "chooses" a plain picture of this colour, or is cancelled.
    bool ShowBackgroundDialog(float width, float height, CBannerDoc &, ImagingControl &output) override
    {
        ++backgroundShown;
        if (!backgroundColor)
            return false;
        output.CreateBitmap(width, height, 24);
        output.FillColor(*backgroundColor);
        return true;
    }
    std::optional<std::uint32_t> ShowFrameDelayDialog(std::uint32_t delayMs) override
    {
        delaysShown.push_back(delayMs);
        if (delayAnswers.empty())
            return std::nullopt;
        auto answer = delayAnswers.front();
        delayAnswers.pop_front();
        return answer;
    }

    std::optional<COLORREF> backgroundColor;
    int backgroundShown = 0;
    std::vector<std::uint32_t> delaysShown;
    std::deque<std::optional<std::uint32_t>> delayAnswers;
};
