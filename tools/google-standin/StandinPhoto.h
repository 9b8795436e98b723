#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// An image uploaded to an album.
struct StandinPhoto
{
    QString id;
    QString ownerId;
    QString albumId;
    QString fileName;
    QByteArray contentType;
    QByteArray data;
    QDateTime published;
    int width = 0;
    int height = 0;

    bool operator==(const StandinPhoto&) const = default;
};
