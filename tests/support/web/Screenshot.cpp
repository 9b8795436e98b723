#include "Screenshot.h"

#include <QDir>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <QWidget>

namespace {

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

} // namespace

QString Screenshot::save(QWidget* window, const QString& name)
{
    QPixmap picture;
    // The page paints a frame or two after its load has finished.
    // Saved either way: a blank picture still tells the reviewer something.
    (void)QTest::qWaitFor(
        [&] {
            picture = window->grab();
            return showsSomething(picture.toImage());
        },
        5000);
    const QString folder = QStringLiteral(PENHOLLOW_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    return picture.save(path) ? path : QString();
}

QString Screenshot::saveScreenArea(QWidget* window, const QString& name)
{
    QScreen* screen = window->screen();
    if (!screen || QGuiApplication::platformName() != QStringLiteral("xcb")) {
        return save(window, name);
    }
    // Pop-ups and menus may reach past the window's edge: take them in too.
    QRect area = window->frameGeometry();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top != window && top->isVisible() && (top->windowFlags() & Qt::Popup) == Qt::Popup) {
            area = area.united(top->frameGeometry());
        }
    }
    area = area.intersected(screen->geometry());
    QPixmap picture;
    (void)QTest::qWaitFor(
        [&] {
            picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
            return showsSomething(picture.toImage());
        },
        5000);
    // Let late paints (menus fading in, the web view's first frame) land, then take the final picture.
    QTest::qWait(300);
    picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString folder = QStringLiteral(PENHOLLOW_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    return picture.save(path) ? path : QString();
}
