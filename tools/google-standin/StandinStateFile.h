#pragma once

#include "StandinState.h"

#include <QJsonObject>
#include <QString>

// The whole state of a stand-in as a JSON file, so that a session survives a restart. The records keep the
// seed's field names; texts are kept verbatim along with the base address they were written under, and
// reading them under another address (a new port) moves that address to the new one.
class StandinStateFile
{
public:
    static QJsonObject toJson(const StandinState& state, const QString& baseUrl);
    // On failure *state is left unchanged and *error says what is wrong and where.
    static bool fromJson(const QJsonObject& json, const QString& baseUrl, StandinState* state,
                         QString* error);

    // Reads and parses the file, without checking its records.
    static bool read(const QString& path, QJsonObject* json, QString* error);
    // Replaces the file at once or not at all.
    static bool write(const QString& path, const StandinState& state, const QString& baseUrl, QString* error);

    static constexpr const char* FormatName = "google-standin state";
    static constexpr int FormatVersion = 1;
};
