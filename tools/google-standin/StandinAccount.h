#pragma once

#include <QString>

// A Google account known to the stand-in.
struct StandinAccount
{
    QString id;        // user id of the OAuth user information
    QString profileId; // Blogger profile id
    QString name;
    QString givenName;
    QString familyName;
    QString picture;
    QString locale = "en";
    QString albumId; // the default photo album

    bool operator==(const StandinAccount&) const = default;
};
