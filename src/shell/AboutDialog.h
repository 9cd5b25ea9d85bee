#pragma once
// Help > About: the program icon and the product line open the maker's home page.
#include <QDialog>
#include <QLabel>

// A static that reports clicks, as the icon of the About box does.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget *parent = nullptr);

    ClickableLabel *Icon() const { return m_icon; }
    ClickableLabel *ProductLine() const { return m_product; }

    // The home page address the links open.
    static QString HomePageAddress();

private:
    void OpenHomePage();

    ClickableLabel *m_icon;
    ClickableLabel *m_product;
};
