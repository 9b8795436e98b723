#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

// The shape of a reply, to compare with a fixture without comparing bytes.
class ReplyShape
{
public:
    // "{namespace}name" of every element and "{namespace}name@{namespace}attribute" of every attribute;
    // empty with error set when the XML does not parse.
    static QSet<QString> xml(const QByteArray& text, QString* error = nullptr);
    // Key paths of a JSON document ("items[].author.image.url"); array elements are merged.
    static QSet<QString> json(const QByteArray& text, QString* error = nullptr);
    // Readable difference of two shapes, empty when equal.
    static QString difference(const QSet<QString>& actual, const QSet<QString>& expected);
};
