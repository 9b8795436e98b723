#include "LocalPictureSchemeHandler.h"

#include "platform/LocalPictures.h"

#include <QBuffer>
#include <QMap>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

void LocalPictureSchemeHandler::registerScheme()
{
    const QByteArray& name = LocalPictures::schemeName();
    if (QWebEngineUrlScheme::schemeByName(name).name() == name) {
        return;
    }
    QWebEngineUrlScheme scheme(name);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Secure, so a page served over https shows the pictures too. No local access, no CORS.
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

LocalPictureSchemeHandler::LocalPictureSchemeHandler(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

void LocalPictureSchemeHandler::setAllowedNames(const QSet<QString>& names)
{
    m_allowed = names;
}

void LocalPictureSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job)
{
    const std::optional<QString> name =
        LocalPictures::nameForAddress(job->requestUrl().toString(QUrl::RemoveQuery | QUrl::RemoveFragment));
    // A fetch, an XHR or a crossorigin picture carries an Origin: only a plain picture load may go.
    bool corsRequest = false;
    const QMap<QByteArray, QByteArray> headers = job->requestHeaders();
    for (auto it = headers.cbegin(); it != headers.cend(); ++it) {
        corsRequest = corsRequest || it.key().compare("origin", Qt::CaseInsensitive) == 0;
    }
    std::optional<LocalPictures::Picture> picture;
    if (job->requestMethod() == QByteArrayLiteral("GET") && !corsRequest && name &&
        m_allowed.contains(*name)) {
        picture = LocalPictures::read(*name);
    }
    if (!picture) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto* buffer = new QBuffer(job);
    buffer->setData(picture->data);
    buffer->open(QIODevice::ReadOnly);
    ++m_picturesServed;
    job->reply(picture->mimeType, buffer);
}
