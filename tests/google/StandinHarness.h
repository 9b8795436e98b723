#pragma once

#include "GoogleStandin.h"
#include "google/GoogleAuthentificationService.h"

#include <QByteArrayList>
#include <QList>
#include <QPair>

#include <memory>

// A stand-in on 127.0.0.1 that the client's endpoints point at, and a signed-in account with fresh tokens.
class StandinHarness
{
public:
    StandinHarness();
    ~StandinHarness();

    GoogleStandin standin;
    std::shared_ptr<GoogleAuthentificationService> auth;
    QString accessToken;
    QString refreshToken;

    static QString blogId() { return QStringLiteral("4120843728710463922"); }

    // The header fields the client chose, in wire order: the transport's own ones left out.
    static QList<QPair<QByteArray, QByteArray>> clientHeaders(const LoggedRequest& request);
    static QByteArrayList clientHeaderNames(const LoggedRequest& request);
    // True when the "rand" query value is the decimal text of an unsigned 32-bit number.
    static bool hasNumericRand(const LoggedRequest& request);
    // The query without its "rand" value.
    static QByteArray queryWithoutRand(const LoggedRequest& request);
};
