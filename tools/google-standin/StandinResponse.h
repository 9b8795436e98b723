#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// What the stand-in does with one request.
struct StandinResponse
{
    enum class Action
    {
        Send,
        CloseWithoutReply, // the connection is closed before any header is written
        Stall,             // nothing is written until the stall is released or the server stops
    };

    Action action = Action::Send;
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    static StandinResponse make(int status, const QByteArray& contentType, const QByteArray& body);
    static QByteArray reasonPhrase(int status);
    void setHeader(const QByteArray& name, const QByteArray& value);
    QByteArray header(const QByteArray& name) const;
};
