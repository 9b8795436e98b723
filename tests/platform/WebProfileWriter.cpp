// Helper of TestWebView: a separate run of the application's web layer that visits one address with the
// sign-in profile and exits normally, so a test can see what that profile kept for the next launch.
#include "platform/gui/WebView.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

int main(int argc, char* argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 2) {
        return 3;
    }
    int result = 2; // no load finished in time
    {
        WebView view;
        view.setPersistentProfileName(QStringLiteral("SignIn"));
        QObject::connect(&view, &WebView::pageLoaded, &app, [&](bool ok, const QString&) {
            result = ok ? 0 : 1;
            app.quit();
        });
        QTimer::singleShot(20000, &app, &QCoreApplication::quit);
        view.loadAddress(QUrl(QString::fromLocal8Bit(argv[1])));
        app.exec();
    }
    return result;
}
