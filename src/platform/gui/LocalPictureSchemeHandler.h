#pragma once

#include <QSet>
#include <QString>
#include <QWebEngineUrlSchemeHandler>

// Serves a view the user's pictures its page names, under the picture scheme of LocalPictures, and
// nothing else: only the names it was given, only files LocalPictures accepts. The scheme is of its own
// origin and not open to fetch or XHR, so a page shows the pictures but its scripts cannot read them.
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

private:
    QSet<QString> m_allowed;
};
