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
