#pragma once
// The MDI area behind the document windows; paints the logo centred, clipped equally on both
// sides when the area is smaller than the logo.
#include <QImage>
#include <QMdiArea>

class LogoBackgroundWnd : public QMdiArea {
    Q_OBJECT
public:
    explicit LogoBackgroundWnd(QWidget *parent = nullptr);

    // Top-left corner of the logo for a client area of `size`.
    static QPoint LogoOrigin(const QSize &client, const QSize &logo);
    const QImage &Logo() const { return m_logo; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QImage m_logo;
};
