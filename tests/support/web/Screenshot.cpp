#include "Screenshot.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

namespace {

constexpr int Timeout = 20000;
// A world of its own, so the marker below is no global of the page.
constexpr quint32 ScreenshotWorld = 7;

bool showsSomething(const QImage& image)
{
    if (image.isNull()) {
        return false;
    }
    const QRgb first = image.pixel(0, 0);
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            if (image.pixel(x, y) != first) {
                return true;
            }
        }
    }
    return false;
}

QVariant evaluate(QWebEngineView* view, const QString& script)
{
    // Shared with the callback: an answer after the wait gave up must not write into a finished frame.
    auto answer = std::make_shared<std::optional<QVariant>>();
    view->page()->runJavaScript(script, ScreenshotWorld,
                                [answer](const QVariant& result) { *answer = result; });
    if (!QTest::qWaitFor([&] { return answer->has_value(); }, Timeout)) {
        return {};
    }
    return **answer;
}

// Every page the windows show has finished loading, its pictures included, and has drawn a frame since:
// two animation frames in the page, the second one starting after the first was painted. A page that is
// replaced meanwhile is waited for afresh.
bool pagesPainted(const QList<QWidget*>& windows)
{
    QList<QPointer<QWebEngineView>> views;
    for (QWidget* window : windows) {
        for (QWebEngineView* view : window->findChildren<QWebEngineView*>()) {
            if (view->isVisible()) {
                views << view;
            }
        }
    }
    // Each call asks for frames of its own: a page that drew before this call says nothing of what it
    // shows now.
    static int call = 0;
    const QString painted =
        QStringLiteral(
            "(() => {"
            "  if (document.readyState !== 'complete') return false;"
            "  if (window.shotCall !== %1) {"
            "    window.shotCall = %1;"
            "    window.painted = false;"
            "    requestAnimationFrame(() => requestAnimationFrame(() => { window.painted = true; }));"
            "  }"
            "  return window.painted;"
            "})()")
            .arg(++call);
    for (const QPointer<QWebEngineView>& view : views) {
        if (!QTest::qWaitFor([&] { return !view || evaluate(view, painted).toBool(); }, Timeout)) {
            qWarning() << "Screenshot: the page never finished loading and painting:" << view->url();
            return false;
        }
    }
    return true;
}

// Takes pictures, each after the pages have drawn new frames, until one shows something and the next one
// is the same: what was asked to paint has landed.
QPixmap steadyPicture(const QList<QWidget*>& windows, const std::function<QPixmap()>& take)
{
    QPixmap picture = take();
    QImage last = picture.toImage();
    // Saved either way: a blank or moving picture still tells the reviewer something.
    (void)QTest::qWaitFor(
        [&] {
            if (!pagesPainted(windows)) {
                return false;
            }
            picture = take();
            const QImage now = picture.toImage();
            const bool steady = showsSomething(now) && now == last;
            last = now;
            return steady;
        },
        Timeout);
    return picture;
}

QString store(const QPixmap& picture, const QString& name)
{
    const QString folder = QStringLiteral(PENHOLLOW_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    return picture.save(path) ? path : QString();
}

} // namespace

QString Screenshot::save(QWidget* window, const QString& name)
{
    if (!QTest::qWaitForWindowExposed(window, Timeout)) {
        qWarning() << "Screenshot: not shown:" << name;
        return {};
    }
    // A page that draws no frame in time (the engine may hold frames back on a machine this busy) is
    // taken as it stands: the picture is for people, the window's tests check what it shows.
    pagesPainted({window});
    return store(steadyPicture({window}, [&] { return window->grab(); }), name);
}

QString Screenshot::saveScreenArea(QWidget* window, const QString& name)
{
    QScreen* screen = window->screen();
    if (!screen || QGuiApplication::platformName() != QStringLiteral("xcb")) {
        return save(window, name);
    }
    // Pop-ups and menus may reach past the window's edge: take them in too.
    QList<QWidget*> shown{window};
    QRect area = window->frameGeometry();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top != window && top->isVisible() && (top->windowFlags() & Qt::Popup) == Qt::Popup) {
            area = area.united(top->frameGeometry());
            shown << top;
        }
    }
    for (QWidget* top : shown) {
        if (!QTest::qWaitForWindowExposed(top, Timeout)) {
            qWarning() << "Screenshot: not shown:" << name << top;
            return {};
        }
    }
    pagesPainted(shown);
    area = area.intersected(screen->geometry());
    return store(
        steadyPicture(shown,
                      [&] { return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()); }),
        name);
}

QColor Screenshot::screenPixel(const QPoint& global)
{
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, global.x(), global.y(), 1, 1)
        .toImage()
        .pixelColor(0, 0);
}
