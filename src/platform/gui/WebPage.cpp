#include "WebPage.h"

WebPage::WebPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

void WebPage::setNavigationPolicy(NavigationPolicy policy)
{
    m_navigationPolicy = std::move(policy);
}

bool WebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (m_navigationPolicy) {
        return m_navigationPolicy(url, type, isMainFrame);
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}
