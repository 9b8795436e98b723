#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>

// One HTTP request as it arrived on the wire.
struct LoggedRequest
{
    QByteArray method;
    QByteArray target;                            // path with query, as sent
    QList<QPair<QByteArray, QByteArray>> headers; // in wire order, names as sent
    QByteArray body;
    bool bodyTooLarge = false; // body was over the size limit and was not kept

    QByteArray path() const;
    QByteArray query() const;
    // Decoded value of a query key ('+' counts as a blank); empty when missing.
    QString queryValue(const QString& key) const;
    bool hasQueryKey(const QString& key) const;
    // First value of a header, compared case-insensitively; empty when missing.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
};

Q_DECLARE_METATYPE(LoggedRequest)
