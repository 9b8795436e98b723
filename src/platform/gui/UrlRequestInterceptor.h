#pragma once

#include <QWebEngineUrlRequestInterceptor>

#include <functional>

// Hands every request of a page to a closure, which may block, redirect or add headers.
class UrlRequestInterceptor : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    using Interception = std::function<void(QWebEngineUrlRequestInfo& info)>;

    explicit UrlRequestInterceptor(QObject* parent = nullptr);

    void setInterception(Interception interception);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    Interception m_interception;
};
