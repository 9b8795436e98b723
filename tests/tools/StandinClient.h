#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPair>
#include <QUrl>

// Sends one request to the stand-in over loopback and waits for its outcome.
class StandinClient
{
public:
    struct Reply
    {
        int status = 0; // 0: no HTTP response at all
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        QByteArray body;
        QByteArray contentType;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray header(const QByteArray& name) const;
    };

    explicit StandinClient(const QUrl& base);

    Reply send(const QByteArray& method, const QString& pathAndQuery,
               const QList<QPair<QByteArray, QByteArray>>& headers = {},
               const QByteArray& body = QByteArray());
    Reply get(const QString& pathAndQuery, const QString& accessToken = QString(), bool gdata2 = true);
    // Starts a request without waiting; the caller owns the reply.
    QNetworkReply* start(const QByteArray& method, const QString& pathAndQuery,
                         const QList<QPair<QByteArray, QByteArray>>& headers = {},
                         const QByteArray& body = QByteArray());
    static Reply wait(QNetworkReply* reply);

    // The Atom entry a client sends for a post (with the label term in double quotes).
    static QByteArray postBody(const QString& title, const QString& content, const QStringList& labels,
                               bool draft, const QString& published = QString());
    static QByteArray commentBody(const QString& content);
    static QString escape(const QString& text);

    QUrl base() const { return m_base; }

private:
    QUrl m_base;
    QNetworkAccessManager m_manager;
};
