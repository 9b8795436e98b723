#pragma once

#include "BoundedTcpServer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>
#include <vector>

class QTcpSocket;

// Serves the user's pictures (see LocalPictures) over HTTP on 127.0.0.1 to a page whose scripts run: an
// http origin of its own is cross-origin to the page in the web engine's own terms, so the page shows the
// pictures but a canvas or a fetch cannot read them back (pictures of a custom scheme, by contrast, count
// as the page's own). Each page gets a grant: a random key in the address and the names it may show.
// Plain GETs only, no CORS headers, one request per connection, bounded in size, time and number; a
// client whose first line names no grant is dropped at once, and only Host 127.0.0.1 or localhost with the
// server's port is answered. An answer is read from the file a piece at a time and must be taken whole
// in time.
// Main thread, with an application object.
class LocalPictureServer : public QObject
{
    Q_OBJECT
public:
    static LocalPictureServer& instance();

    // A new grant with no names yet; the empty text when the server cannot listen.
    QString openGrant();
    void allow(const QString& grant, const QStringList& names);
    void closeGrant(const QString& grant);
    // http://127.0.0.1:PORT/GRANT/ followed by a file name.
    QString addressBase(const QString& grant) const;

    int picturesServed() const { return m_picturesServed; }

private:
    struct Connection
    {
        QTcpSocket* socket = nullptr;
        QByteArray head;
        // Its first line named a grant: a page's request, not a stranger's.
        bool named = false;
        bool answering = false;
        // The picture being sent, and how much of it is still to go.
        std::unique_ptr<QFile> file;
        qint64 left = 0;
        // Since a byte last came from the client or was taken by it.
        QElapsedTimer quiet;
        QTimer* deadline = nullptr;
    };

    explicit LocalPictureServer(QObject* parent);
    void admitPending();
    void admit(QTcpSocket* socket);
    bool makeRoom();
    void takeWhatArrived(QTcpSocket* socket);
    void onReadyRead(QTcpSocket* socket);
    void onTaken(QTcpSocket* socket);
    void answer(Connection& connection);
    void sendMore(Connection& connection);
    void drop(QTcpSocket* socket);
    void forget(QTcpSocket* socket);
    Connection* find(QTcpSocket* socket);
    bool asksGrantedPicture(const QByteArray& requestLine) const;
    // The file name a request line asks for under a grant that allows it.
    std::optional<QString> grantedName(const QByteArray& requestLine) const;

    // Oldest first. Declared before the server: its sockets, going with it, take themselves off this
    // list and may start the timer.
    std::vector<std::unique_ptr<Connection>> m_connections;
    // Takes in the connection left waiting when every place was taken.
    QTimer m_admit;
    bool m_waiting = false;
    BoundedTcpServer m_server;
    QHash<QString, QSet<QString>> m_grants;
    int m_picturesServed = 0;
};
