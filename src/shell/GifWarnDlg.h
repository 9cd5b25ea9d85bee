#pragma once
// The warning shown before an animated GIF is opened; its check box lets the user turn it off.
#include <QDialog>

class QCheckBox;

class GifWarnDlg : public QDialog {
    Q_OBJECT
public:
    explicit GifWarnDlg(QWidget *parent = nullptr);

    // "&Show this dialog next time.": set by the caller before, read after the dialog.
    bool m_check = false;

    QCheckBox *CheckBox() const { return m_box; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QCheckBox *m_box;
};
