#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Reads the Atom entries that clients send to add or change a post or a comment.
class StandinAtomReader
{
public:
    struct Entry
    {
        QString title;
        QString content;
        QStringList labels; // categories of the Blogger label scheme, in document order
        bool hasPublished = false;
        QDateTime published;
        bool draft = false;
    };

    // False with a reason in error when the body is no well-formed Atom entry. Never loads a DTD or entity.
    static bool read(const QByteArray& body, Entry* entry, QString* error);
};
