#include "UrlRequestInterceptor.h"

UrlRequestInterceptor::UrlRequestInterceptor(QObject* parent) : QWebEngineUrlRequestInterceptor(parent) {}

void UrlRequestInterceptor::setInterception(Interception interception)
{
    m_interception = std::move(interception);
}

void UrlRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    if (m_interception) {
        m_interception(info);
    }
}
