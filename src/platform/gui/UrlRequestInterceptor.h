#pragma once

#include <QStringList>
#include <QWebEngineUrlRequestInterceptor>

#include <functional>
#include <optional>

// Hands every request of a page to a closure, which may block, redirect or add headers; then keeps the
// page to the local files it may reach.
class UrlRequestInterceptor : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    using Interception = std::function<void(QWebEngineUrlRequestInfo& info)>;

    explicit UrlRequestInterceptor(QObject* parent = nullptr);

    void setInterception(Interception interception);
    // When set, a file: request is blocked unless the file lies inside one of the folders.
    void setLocalFolders(std::optional<QStringList> folders);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

    // Whether the path (cleaned) lies inside one of the folders.
    static bool liesInside(const QString& path, const QStringList& folders);

private:
    Interception m_interception;
    std::optional<QStringList> m_localFolders;
};
