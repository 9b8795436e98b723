#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One running application per data folder: a lock file in the folder, and a local socket on which a
// second launch asks the first to come to the front before it exits.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString& dataFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process now owns the folder. Otherwise it has asked the owner to raise its window.
    bool acquire();
    bool isOwner() const { return m_owner; }
    QString serverName() const;

Q_SIGNALS:
    // Another launch asked for the window (main thread).
    void raiseRequested();

private:
    bool notifyOwner() const;
    bool listen();

    QString m_dataFolder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_owner = false;
};
