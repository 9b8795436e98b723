#pragma once

#include <QWebEnginePage>

#include <functional>

// A page that asks a closure before it follows a navigation.
class WebPage : public QWebEnginePage
{
    Q_OBJECT
public:
    // Returns whether the navigation may go ahead.
    using NavigationPolicy = std::function<bool(const QUrl& url, NavigationType type, bool isMainFrame)>;

    explicit WebPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    void setNavigationPolicy(NavigationPolicy policy);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    NavigationPolicy m_navigationPolicy;
};
