#pragma once
// The application with one banner of coloured frames, for the Frames View, playback and
// printing tests.
#include "document/BannerDoc.h"
#include "document/BannerFrame.h"
#include "editor/CFrameView.h"
#include "editor/EditorState.h"
#include "platform/ScriptedPrompts.h"
#include "shell/CBannerApp.h"
#include "shell/CChildFrame.h"
#include "shell/CDocManager.h"
#include "shell/CMainFrame.h"
#include "shell/DocumentCommands.h"
#include "editor/CommandTarget.h"
#include "shell/CommandRouter.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <gtest/gtest.h>

class FramesFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(app.InitInstance({}));
        Prompts::Register(&prompts);
        frame = app.MainFrame();
        banner = ActiveBannerView();
        ASSERT_TRUE(banner);
        doc = &banner->GetDocument();
        CPlayback::SetLoopFlag(false);
    }
    void TearDown() override
    {
        for (const auto &d : app.Documents()->Documents())
            d->Doc().SetModifiedFlag(false);
        CPlayback::SetLoopFlag(false);
    }
    // Gives the banner `colours.size()` frames of those background colours (0x00BBGGRR) and delays.
    void MakeFrames(const std::vector<COLORREF> &colours, std::uint32_t delay = 1000)
    {
        doc->DeleteContents();
        for (COLORREF c : colours)
            doc->m_frames.push_back(std::make_unique<CBannerFrame>(nullptr, c, delay));
        doc->SetCurrentFrame(0);
    }
    CChildFrame *Active() const { return frame->ActiveChildFrame(); }
    CFrameView *ActiveBannerView() const
    {
        return Active() ? qobject_cast<CFrameView *>(Active()->View()) : nullptr;
    }
    bool Run(unsigned id) { return frame->Router().Execute(id); }
    bool Enabled(unsigned id)
    {
        frame->Router().UpdateAll();
        return frame->Router().FindAction(id)->isEnabled();
    }
    bool Checked(unsigned id)
    {
        frame->Router().UpdateAll();
        return frame->Router().FindAction(id)->isChecked();
    }
    // Runs the event loop until `done` holds; false after a generous time-out.
    static bool WaitFor(const std::function<bool()> &done, int timeoutMs = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return true;
    }

    CBannerApp app;
    ScriptedPrompts prompts;
    CMainFrame *frame = nullptr;
    CFrameView *banner = nullptr;
    CBannerDoc *doc = nullptr;
};
