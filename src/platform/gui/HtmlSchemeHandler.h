#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

// Serves HTML held in memory to a web view under "penhollow-html://documents/", so documents of any size
// load (the engine's setHtml takes at most 2 MB). Each view installs its own handler on its own profile,
// so a view's documents share an origin with no other view's. The scheme has no local access: its pages
// reach no file.
class HtmlSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
public:
    static const QByteArray& schemeName();
    // Must run before the application object exists.
    static void registerScheme();

    explicit HtmlSchemeHandler(QObject* parent = nullptr);

    // Keeps the document and returns the address it is served at. Only the latest few are kept.
    QUrl addDocument(const QString& html);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    QMutex m_mutex;
    QHash<quint64, QByteArray> m_documents;
    quint64 m_next = 1;
};
