#pragma once

#include <QByteArray>
#include <QString>

// A switch that makes the stand-in misbehave for matching requests.
struct StandinFault
{
    enum class Kind
    {
        NoReply,       // the connection is closed before any header is written; nothing is processed
        LostReply,     // processed, then the connection is closed before any header is written
        Stall,         // no answer until releaseStalled(), clearFaults() or stop(); then processed normally
        ErrorObject,   // a service error object (JSON) with status 503; nothing is processed
        MalformedBody, // processed, but the reply body is cut in half (broken XML or JSON)
        NonUtf8Body,   // processed, but the reply body holds bytes that are no UTF-8
        HtmlErrorPage, // a front-end HTML error page with status 502; nothing is processed
    };

    Kind kind = Kind::NoReply;
    QByteArray pathPrefix; // matches requests whose path (without query) starts with it; empty: all
    QByteArray method;     // empty: any method
    int remaining = -1;    // how many matching requests it applies to; -1: until cleared
    int status = 0;        // for ErrorObject and HtmlErrorPage; 0: the default
    QString message;       // for ErrorObject; empty: "Backend Error"

    bool matches(const QByteArray& requestMethod, const QByteArray& path) const
    {
        return remaining != 0 && path.startsWith(pathPrefix) && (method.isEmpty() || method == requestMethod);
    }
};
