#include "StandinClient.h"

#include <QEventLoop>
#include <QTimer>

QByteArray StandinClient::Reply::header(const QByteArray& name) const
{
    for (const auto& h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

StandinClient::StandinClient(const QUrl& base) : m_base(base) {}

QNetworkReply* StandinClient::start(const QByteArray& method, const QString& pathAndQuery,
                                    const QList<QPair<QByteArray, QByteArray>>& headers,
                                    const QByteArray& body)
{
    QNetworkRequest request(QUrl(m_base.toString() + pathAndQuery));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (const auto& h : headers)
        request.setRawHeader(h.first, h.second);
    if (method == "GET" && body.isEmpty())
        return m_manager.get(request);
    return m_manager.sendCustomRequest(request, method, body);
}

StandinClient::Reply StandinClient::wait(QNetworkReply* reply)
{
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        // Only a guard against a hung test run, not a timing check.
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    Reply out;
    out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out.error = reply->error();
    if (reply->isOpen())
        out.body = reply->readAll();
    out.contentType = reply->rawHeader("Content-Type");
    out.headers = reply->rawHeaderPairs();
    reply->deleteLater();
    return out;
}

StandinClient::Reply StandinClient::send(const QByteArray& method, const QString& pathAndQuery,
                                         const QList<QPair<QByteArray, QByteArray>>& headers,
                                         const QByteArray& body)
{
    return wait(start(method, pathAndQuery, headers, body));
}

StandinClient::Reply StandinClient::get(const QString& pathAndQuery, const QString& accessToken, bool gdata2)
{
    QList<QPair<QByteArray, QByteArray>> headers;
    if (gdata2)
        headers.append(qMakePair(QByteArray("GData-Version"), QByteArray("2")));
    if (!accessToken.isEmpty())
        headers.append(qMakePair(QByteArray("Authorization"), "OAuth " + accessToken.toUtf8()));
    return send("GET", pathAndQuery, headers);
}

QString StandinClient::escape(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('&'), QStringLiteral("&amp;"));
    out.replace(QLatin1Char('<'), QStringLiteral("&lt;"));
    out.replace(QLatin1Char('>'), QStringLiteral("&gt;"));
    out.replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    out.replace(QLatin1Char('\''), QStringLiteral("&#39;"));
    return out;
}

QByteArray StandinClient::postBody(const QString& title, const QString& content, const QStringList& labels,
                                   bool draft, const QString& published)
{
    QString out = QStringLiteral("<entry xmlns='http://www.w3.org/2005/Atom'><title type='text'>") +
                  escape(title) + QStringLiteral("</title>");
    if (!published.isEmpty())
        out += QStringLiteral("<published type='text'>") + published + QStringLiteral("</published>");
    out += QStringLiteral("<content type='html'>") + escape(content) + QStringLiteral("</content>");
    for (const QString& label : labels) {
        out += QStringLiteral("<category scheme='http://www.blogger.com/atom/ns#' term=\"") + escape(label) +
               QStringLiteral("\" />");
    }
    if (draft) {
        out += QStringLiteral("<app:control xmlns:app='http://www.w3.org/2007/app'><app:draft>yes</app:draft>"
                              "</app:control>");
    }
    out += QStringLiteral("</entry>");
    return out.toUtf8();
}

QByteArray StandinClient::commentBody(const QString& content)
{
    return (QStringLiteral("<entry xmlns='http://www.w3.org/2005/Atom'><title type='text'></title>"
                           "<content type='html'>") +
            escape(content) + QStringLiteral("</content></entry>"))
        .toUtf8();
}
