#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One running application per data folder: a lock file in the folder, and a local socket on which a
// second launch asks the first to come to the front before it exits. Anyone of this user can connect to
// that socket: a few connections are served at a time, each for one short message and a short time, and
// every other one is closed at once, so a flood of connections never exhausts the process's files.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString& dataFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process now owns the folder. Otherwise it has asked the owner to raise its window.
    bool acquire();
    bool isOwner() const { return m_owner; }
    // After a failed acquire: true when the lock file could not be made at all (no other process holds it),
    // as in a folder that cannot be written.
    bool lockFileUnusable() const { return m_lockFileUnusable; }
    QString serverName() const;
    // Connections being read now; never more than maximumConnections.
    int openConnections() const { return m_connections; }

    static constexpr int maximumConnections = 4;
    static constexpr int messageTimeoutMs = 1000;

Q_SIGNALS:
    // Another launch asked for the window (main thread).
    void raiseRequested();

private:
    bool notifyOwner() const;
    bool listen();
    void serve(class QLocalSocket* socket);

    QString m_dataFolder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_owner = false;
    bool m_lockFileUnusable = false;
    int m_connections = 0;
};
