#pragma once

#include <QSet>
#include <QString>
#include <QWebEngineUrlSchemeHandler>

// Serves a view the user's pictures its page names, under the picture scheme of LocalPictures, and
// nothing else: only the names it was given, only files LocalPictures accepts, only to plain picture
// loads (no fetch, XHR or CORS request). The engine would let a page's script read such a picture back
// through a canvas, so only views whose scripts do not run name any (see WebView::setLocalPictures).
class LocalPictureSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
public:
    // Must run before the application object exists.
    static void registerScheme();

    explicit LocalPictureSchemeHandler(QObject* parent = nullptr);

    // The file names in the images folder that the page shown now may show.
    void setAllowedNames(const QSet<QString>& names);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

    // How many pictures were served so far.
    int picturesServed() const { return m_picturesServed; }

private:
    QSet<QString> m_allowed;
    int m_picturesServed = 0;
};
