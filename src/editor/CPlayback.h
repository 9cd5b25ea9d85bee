#pragma once
// Playback of a banner in its Banner View: Play renders every frame into a page of the view's
// imaging control and lets the control run them with their delays; Stop (or the end of a run
// that does not loop) drops the pages and shows the view's frame again. Also the frame stepping
// commands and Loop. The running state is the control's AnimationRunning; nothing else is kept.
class CFrameView;
struct CommandState;

class CPlayback {
public:
    explicit CPlayback(CFrameView &view);

    // The application-wide loop flag: whether a started animation repeats. Initially off.
    static bool LoopFlag();
    static void SetLoopFlag(bool on);

    bool Running() const;
    // The animation commands; false for any other id.
    bool OnCommand(unsigned id);
    bool OnUpdateCommand(unsigned id, CommandState &state) const;

    void Play();
    void Stop();

private:
    // Back to editing: the pages go and the view's frame is loaded again.
    void ShowEditedFrame();
    void OnLoop();

    CFrameView &m_view;
};
