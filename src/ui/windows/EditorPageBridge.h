#pragma once

#include <QObject>
#include <QString>

// The object the editor page reaches through the web channel ("editorBridge"). The page reports its
// content after every change and tells when content it was given is on screen; each report carries the
// number of contents the page has been given so far, so news about an older content can be told apart.
// It also hands the page's own script the key its toolbar puts in the path of its requests to the window,
// so that a request with the right marker but without the key (a post's picture) does nothing.
class EditorPageBridge : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString requestKey READ requestKey CONSTANT)
public:
    explicit EditorPageBridge(QObject* parent = nullptr);

    // Random, one per window; never written into the page's document.
    QString requestKey() const { return m_requestKey; }

public Q_SLOTS:
    void contentChanged(int generation, const QString& html);
    void contentLoaded(int generation);

Q_SIGNALS:
    void pageContentChanged(int generation, const QString& html);
    void pageContentLoaded(int generation);

private:
    QString m_requestKey;
};
