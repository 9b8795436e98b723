#include "LocalPictureSchemeHandler.h"

#include "platform/LocalPictures.h"

#include <QBuffer>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

void LocalPictureSchemeHandler::registerScheme()
{
    const QByteArray& name = LocalPictures::schemeName();
    if (QWebEngineUrlScheme::schemeByName(name).name() == name) {
        return;
    }
    QWebEngineUrlScheme scheme(name);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Secure, so pages served over https show the pictures too. Neither local access nor CORS: the
    // pictures are cross-origin to every page, which may show them but not read them.
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
        LocalPictures::nameForAddress(job->requestUrl().toString(QUrl::FullyDecoded));
    if (job->requestMethod() != QByteArrayLiteral("GET") || !name || !m_allowed.contains(*name)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    std::optional<LocalPictures::Picture> picture = LocalPictures::read(*name);
    if (!picture) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    auto* buffer = new QBuffer(job);
    buffer->setData(picture->data);
    buffer->open(QIODevice::ReadOnly);
    job->reply(picture->mimeType, buffer);
}
