#pragma once

#include <QUrl>

#include <functional>

// Hands addresses to the user's own applications (the browser, the mail program) through xdg-open, which
// gets none of our descriptors. Main thread only.
class ExternalUrlOpener
{
public:
    // Returns whether the address was handed over.
    using Opener = std::function<bool(const QUrl& url)>;

    static bool open(const QUrl& url);
    // Only absolute http and https addresses with a host: a post's text must never make us run a
    // javascript:, file: or custom-scheme address.
    static bool openWebAddress(const QUrl& url);
    static bool isWebAddress(const QUrl& url);

    // Tests capture the addresses instead of starting applications; an empty opener restores the desktop's.
    static void setOpener(Opener opener);
};
