#pragma once
// One editor per user: a second `vellumark FILE` hands FILE to the editor that is already
// running (over a local socket named AppPaths::InstanceSocketName()) and ends.
#include <QObject>
#include <QStringList>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // Hands the files to a running editor; true when one took them.
    static bool SendToRunning(const QStringList &files, int timeoutMs = 2000);
    // The files a command line names: every argument but the options; an argument that starts
    // with '-' is a file when such a file exists, and every argument after "--" is one.
    static QStringList FileArguments(const QStringList &arguments);
    // Starts accepting files from later starts. False when another editor already listens.
    bool Listen();
    bool IsListening() const;

signals:
    // Absolute paths handed over by a later start.
    void FilesReceived(const QStringList &files);

private:
    void OnNewConnection();

    QLocalServer *m_server;
};
