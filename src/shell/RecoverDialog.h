#pragma once
// The question after a crash about one banner that the editor kept a copy of: its name and the
// time of the copy, Restore (the default) or Discard. Closing the window leaves the copy for the
// next start.
#include <QDateTime>
#include <QDialog>

class QLabel;

class RecoverDialog : public QDialog {
    Q_OBJECT
public:
    enum class Choice { Restore, Discard, Later };

    RecoverDialog(const QString &title, const QDateTime &time, QWidget *parent = nullptr);
    // Shows the dialog and returns the user's answer.
    Choice Ask();
    QString Text() const;

private:
    QLabel *m_text;
    Choice m_choice = Choice::Later;
};
