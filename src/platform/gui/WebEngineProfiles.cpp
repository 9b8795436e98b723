#include "WebEngineProfiles.h"

#include "platform/ApplicationFolders.h"
#include "platform/PrivateDataFolder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QWebEngineProfile>

namespace {

// Main thread only, like the views.
QHash<QString, std::shared_ptr<QWebEngineProfile>>& persistentProfiles()
{
    static QHash<QString, std::shared_ptr<QWebEngineProfile>> profiles;
    return profiles;
}

// Runs while the application object is destroyed, before the web engine shuts down (post routines run
// newest first, and the engine registers its own when the first profile is made), so the profiles can
// still write their cookies.
void releasePersistentProfiles()
{
    persistentProfiles().clear();
}

} // namespace

std::shared_ptr<QWebEngineProfile> WebEngineProfiles::offTheRecord()
{
    return std::shared_ptr<QWebEngineProfile>(new QWebEngineProfile());
}

QString WebEngineProfiles::persistentStoragePath(const QString& name)
{
    // The engine's own default place when the data folder is the application data location: a named profile
    // writes its preferences there before it learns its storage path, and this keeps them in one folder.
    return ApplicationFolders::dataFolder() + QStringLiteral("/QtWebEngine/") + name;
}

std::shared_ptr<QWebEngineProfile> WebEngineProfiles::persistent(const QString& name)
{
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_-]+$"));
    Q_ASSERT(plainName.match(name).hasMatch());

    const QString path = persistentStoragePath(name);
    auto& profiles = persistentProfiles();
    if (const auto existing = profiles.constFind(path); existing != profiles.constEnd()) {
        return *existing;
    }
    // Owner-only: the engine's files inside are then out of others' reach whatever modes it gives them.
    PrivateDataFolder::makeFolder(QFileInfo(path).absolutePath());
    PrivateDataFolder::makeFolder(path);
    auto profile = std::make_shared<QWebEngineProfile>(name);
    profile->setPersistentStoragePath(path);
    profile->setCachePath(path + QStringLiteral("/Cache"));
    profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    // Sign-in cookies are often session cookies; keeping them is what keeps the user signed in.
    profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    if (profiles.isEmpty()) {
        qAddPostRoutine(releasePersistentProfiles);
    }
    profiles.insert(path, profile);
    return profile;
}
