#pragma once

#include <QString>

#include <memory>

class QWebEngineProfile;

// Web engine profiles of the web views.
class WebEngineProfiles
{
public:
    // A private profile in memory only: nothing is written to disk and nothing is shared with other views.
    static std::shared_ptr<QWebEngineProfile> offTheRecord();
    // A profile whose cookies, storage and cache live under the data folder, so a user stays signed in.
    // One per storage folder, shared by the views that name it and kept until the application object goes:
    // a profile made again right after its last view closed could open its store before the old one had
    // written the latest cookies. The name must be a plain folder name.
    static std::shared_ptr<QWebEngineProfile> persistent(const QString& name);
    static QString persistentStoragePath(const QString& name);
};
