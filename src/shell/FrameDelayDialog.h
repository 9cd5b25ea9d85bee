#pragma once
// Frame > Delay: edits one frame's display time in milliseconds.
#include <QDialog>

class QLineEdit;

class FrameDelayDialog : public QDialog {
    Q_OBJECT
public:
    explicit FrameDelayDialog(QWidget *parent = nullptr);

    // The delay shown when the dialog opens and read back after OK.
    qint32 m_delay = 0;

    QLineEdit *DelayEdit() const { return m_edit; }

    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLineEdit *m_edit;
};
