#pragma once

#include <QString>

#include <memory>

class QWebEngineProfile;

// Web engine profiles of the web views. A persistent profile is shared by every view that names it and lives
// while one of them does, so two windows never open the same storage folder twice.
class WebEngineProfiles
{
public:
    // A private profile in memory only: nothing is written to disk and nothing is shared with other views.
    static std::shared_ptr<QWebEngineProfile> offTheRecord();
    // A profile whose cookies, storage and cache live under the data folder, so a user stays signed in.
    // The name must be a plain folder name.
    static std::shared_ptr<QWebEngineProfile> persistent(const QString& name);
    static QString persistentStoragePath(const QString& name);
};
