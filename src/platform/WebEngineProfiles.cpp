#include "WebEngineProfiles.h"

#include "ApplicationFolders.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QWebEngineProfile>

namespace {

QHash<QString, std::weak_ptr<QWebEngineProfile>>& persistentProfiles()
{
    static QHash<QString, std::weak_ptr<QWebEngineProfile>> profiles; // main thread only, like the views
    return profiles;
}

} // namespace

std::shared_ptr<QWebEngineProfile> WebEngineProfiles::offTheRecord()
{
    return std::shared_ptr<QWebEngineProfile>(new QWebEngineProfile());
}

QString WebEngineProfiles::persistentStoragePath(const QString& name)
{
    return ApplicationFolders::dataFolder() + QStringLiteral("/WebProfiles/") + name;
}

std::shared_ptr<QWebEngineProfile> WebEngineProfiles::persistent(const QString& name)
{
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_-]+$"));
    Q_ASSERT(plainName.match(name).hasMatch());

    auto& profiles = persistentProfiles();
    if (auto existing = profiles.value(name).lock()) {
        return existing;
    }
    const QString path = persistentStoragePath(name);
    QDir().mkpath(path);
    auto* profile = new QWebEngineProfile(name);
    profile->setPersistentStoragePath(path);
    profile->setCachePath(path + QStringLiteral("/Cache"));
    profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    // Sign-in cookies are often session cookies; keeping them is what keeps the user signed in.
    profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    std::shared_ptr<QWebEngineProfile> shared(profile, [name](QWebEngineProfile* p) {
        persistentProfiles().remove(name);
        delete p;
    });
    profiles.insert(name, shared);
    return shared;
}
