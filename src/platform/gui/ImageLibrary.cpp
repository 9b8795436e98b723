#include "ImageLibrary.h"

#include "platform/ApplicationFolders.h"
#include "platform/Dispatch.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

QString ImageLibrary::path(const QString& name)
{
    return QDir(ApplicationFolders::resourcesFolder())
        .filePath(QStringLiteral("images/") + name + QStringLiteral(".svg"));
}

bool ImageLibrary::hasImage(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && QFileInfo::exists(path(name));
}

QIcon ImageLibrary::icon(const QString& name)
{
    Dispatch::requireMainThread("ImageLibrary::icon");
    static QHash<QString, QIcon> cache;
    const auto found = cache.constFind(name);
    if (found != cache.constEnd()) {
        return *found;
    }
    const QIcon icon = hasImage(name) ? QIcon(path(name)) : QIcon();
    cache.insert(name, icon);
    return icon;
}

QPixmap ImageLibrary::pixmap(const QString& name, const QSize& size, qreal devicePixelRatio)
{
    const QIcon found = icon(name);
    if (found.isNull() || size.isEmpty()) {
        return {};
    }
    return found.pixmap(size, devicePixelRatio);
}
