#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

#include <optional>

class QTcpSocket;

// Serves the user's pictures (see LocalPictures) over HTTP on 127.0.0.1 to a page whose scripts run: an
// http origin of its own is cross-origin to the page in the web engine's own terms, so the page shows the
// pictures but a canvas or a fetch cannot read them back (pictures of a custom scheme, by contrast, count
// as the page's own). Each page gets a grant: a random key in the address and the names it may show.
// Plain GETs only, no CORS headers, one request per connection, bounded in size, time and number; a
// client whose first line names no grant is dropped at once, and only Host 127.0.0.1 or localhost with the
// server's port is answered.
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
    explicit LocalPictureServer(QObject* parent);
    void onNewConnection();
    void answer(QTcpSocket* socket, const QByteArray& head);
    void drop(QTcpSocket* socket);
    void forget(QTcpSocket* socket);
    bool asksGrantedPicture(const QByteArray& requestLine) const;
    // The file name a request line asks for under a grant that allows it.
    std::optional<QString> grantedName(const QByteArray& requestLine) const;

    // Oldest first; idle ones have not yet sent a first line that names a grant. Declared before the
    // server: its sockets, going with it, take themselves off these lists.
    QList<QTcpSocket*> m_connections;
    QList<QTcpSocket*> m_idle;
    QTcpServer m_server;
    QHash<QString, QSet<QString>> m_grants;
    int m_picturesServed = 0;
};
