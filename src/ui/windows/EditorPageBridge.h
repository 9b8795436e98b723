#pragma once

#include <QObject>
#include <QString>

// The object the editor page reaches through the web channel ("editorBridge"). The page reports its
// content after every change and tells when content it was given is on screen; each report carries the
// number of contents the page has been given so far, so news about an older content can be told apart.
class EditorPageBridge : public QObject
{
    Q_OBJECT
public:
    explicit EditorPageBridge(QObject* parent = nullptr);

public Q_SLOTS:
    void contentChanged(int generation, const QString& html);
    void contentLoaded(int generation);

Q_SIGNALS:
    void pageContentChanged(int generation, const QString& html);
    void pageContentLoaded(int generation);
};
