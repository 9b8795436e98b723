#include "ExternalUrlOpener.h"

#include "platform/DetachedProcess.h"
#include "platform/Dispatch.h"

#include <cstdio>

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
    // Not through QDesktopServices: the program it starts would inherit every descriptor we hold without
    // close-on-exec, such as one handed to us by whoever started Penhollow.
    if (!DetachedProcess::start(QStringLiteral("xdg-open"), {QString::fromLatin1(url.toEncoded())})) {
        std::fputs("ExternalUrlOpener - xdg-open could not be started\n", stdout);
        std::fflush(stdout);
        return false;
    }
    return true;
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
