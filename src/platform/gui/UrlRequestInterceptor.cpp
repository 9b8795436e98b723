#include "UrlRequestInterceptor.h"

#include "platform/LocalPictures.h"

#include <QDir>
#include <QUrl>

UrlRequestInterceptor::UrlRequestInterceptor(QObject* parent) : QWebEngineUrlRequestInterceptor(parent) {}

void UrlRequestInterceptor::setInterception(Interception interception)
{
    m_interception = std::move(interception);
}

void UrlRequestInterceptor::setLocalFolders(std::optional<QStringList> folders)
{
    m_localFolders = std::move(folders);
}

void UrlRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    if (m_interception) {
        m_interception(info);
    }
    const QUrl url = info.requestUrl();
    // The user's pictures load as pictures, never as a script's data, a frame or a document.
    if (url.scheme() == QString::fromLatin1(LocalPictures::schemeName()) &&
        info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeImage) {
        info.block(true);
        return;
    }
    if (m_localFolders && url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) == 0 &&
        !liesInside(url.toLocalFile(), *m_localFolders)) {
        info.block(true);
    }
}

bool UrlRequestInterceptor::liesInside(const QString& path, const QStringList& folders)
{
    if (path.isEmpty()) {
        return false;
    }
    const QString clean = QDir::cleanPath(path);
    for (const QString& folder : folders) {
        const QString root = QDir::cleanPath(folder);
        if (!root.isEmpty() && clean.startsWith(root + QLatin1Char('/'))) {
            return true;
        }
    }
    return false;
}
