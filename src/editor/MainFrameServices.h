#pragma once
// What views ask of the main window: the status panes and the zoom box. The shell's main frame
// provides it; views reach it without knowing the shell.
#include <QString>

class MainFrameServices {
public:
    virtual ~MainFrameServices() = default;
    virtual void SetStatusPane(unsigned paneId, const QString &text) = 0;
    virtual void SetZoomText(float value) = 0;
    virtual float GetZoomValue() = 0;
    virtual float NormalizeZoom() = 0;
    virtual void ZoomStepIn() = 0;
    virtual void ZoomStepOut() = 0;
};
