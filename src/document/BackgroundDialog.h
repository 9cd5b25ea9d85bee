#pragma once
// The Background dialog: the user loads a picture, zooms it and drags a banner-size rectangle
// over it; on OK the part under the rectangle, scaled to the banner size, is left in the output
// control (white where the rectangle reaches past the picture). It starts showing the current
// frame's background, if it has one.
#include "items/Geometry.h"
#include "platform/imaging/ImagingControl.h"

#include <QDialog>

class CBannerDoc;
class CBannerFrame;
class ImagingWindow;
class QCheckBox;
class QPushButton;

class BackgroundDialog : public QDialog {
    Q_OBJECT
public:
    // `output` none: the document's WorkCtrl.
    BackgroundDialog(float width, float height, CBannerDoc &doc, QWidget *parent = nullptr,
                     ImagingControl *output = nullptr);
    ~BackgroundDialog() override;

    ImagingControl &Display() { return m_display; }
    ImagingWindow *DisplayWindow() const { return m_window; }
    // In pixels of the display window.
    const CRect &Selection() const { return m_selection; }
    const CRect &Bounds() const { return m_bounds; }
    QPushButton *OkButton() const { return m_ok; }
    QPushButton *LoadButton() const { return m_load; }
    QPushButton *ZoomInButton() const { return m_zoomIn; }
    QPushButton *ZoomOutButton() const { return m_zoomOut; }
    QCheckBox *LockCheck() const { return m_lock; }

    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void OnLoad();
    void OnZoom(float step);
    void OnLock(bool locked);
    void ComputeBounds();
    void OnMouseDown(int button, int shift, int x, int y);
    void OnMouseMove(int button, int shift, int x, int y);
    void OnMouseUp(int button, int shift, int x, int y);
    void OnControlEvent(int eventId);
    // Crops and scales the picture under the selection into the output control.
    void CropIntoOutput();

    CBannerFrame *m_frame;
    ImagingControl &m_output;
    ImagingControl m_display;
    ImagingWindow *m_window;
    QPushButton *m_load, *m_ok, *m_zoomIn, *m_zoomOut;
    QCheckBox *m_lock;

    CRect m_selection;
    CRect m_bounds;
    CPoint m_last;
    bool m_dragging = false;
    COLORREF m_fillColor = 0xFFFFFF;
    bool m_loaded = false;
    bool m_locked = false;
    CRect m_client;
    bool m_opened = false;
};
