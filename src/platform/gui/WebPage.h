#pragma once

#include <QWebEnginePage>

#include <functional>

// A page that asks a closure before it follows a navigation, and that never lets its document open a
// dialog of the application: a page could keep one up after another and hold every window. alert() is
// dropped, confirm() answers false, prompt() answers null, the engine's leave-page question answers
// "leave", and file pickers and folder access are refused. Its console messages are dropped: a page can
// write hundreds of thousands a second, and the engine would print each on standard error.
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
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg, const QString& defaultValue,
                          QString* result) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;

private:
    NavigationPolicy m_navigationPolicy;
};
