#include "ExternalUrlOpener.h"

#include "platform/Dispatch.h"

#include <QDesktopServices>

namespace {

ExternalUrlOpener::Opener& replacement()
{
    static ExternalUrlOpener::Opener opener;
    return opener;
}

} // namespace

bool ExternalUrlOpener::open(const QUrl& url)
{
    Dispatch::requireMainThread("ExternalUrlOpener::open");
    if (!url.isValid()) {
        return false;
    }
    if (replacement()) {
        return replacement()(url);
    }
    return QDesktopServices::openUrl(url);
}

bool ExternalUrlOpener::openWebAddress(const QUrl& url)
{
    return isWebAddress(url) && open(url);
}

bool ExternalUrlOpener::isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

void ExternalUrlOpener::setOpener(Opener opener)
{
    Dispatch::requireMainThread("ExternalUrlOpener::setOpener");
    replacement() = std::move(opener);
}
