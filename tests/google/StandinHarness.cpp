#include "StandinHarness.h"

#include "TestSupport.h"

#include <QtTest>

StandinHarness::StandinHarness()
{
    if (standin.start(0) == 0) {
        qFatal("The stand-in did not start: %s", qPrintable(standin.errorString()));
    }
    TestSupport::pointGoogleServicesAt(standin.serverUrl());
    auth = GoogleAuthentificationService::createWithConfiguredClient();
    auth->setTimeoutInterval(5);
    accessToken = standin.issueAccessToken();
    refreshToken = standin.issueRefreshToken();
    auth->setAccessToken(accessToken);
    auth->setRefreshToken(refreshToken);
    auth->dynamicServiceState().setBlogId(blogId());
}

StandinHarness::~StandinHarness()
{
    standin.clearFaults();
    standin.stop();
}

QList<QPair<QByteArray, QByteArray>> StandinHarness::clientHeaders(const LoggedRequest& request)
{
    static const QByteArrayList transport = {
        "host", "connection", "accept-encoding", "accept-language", "user-agent", "content-length"};
    QList<QPair<QByteArray, QByteArray>> chosen;
    for (const auto& header : request.headers) {
        if (!transport.contains(header.first.toLower())) {
            chosen.append(header);
        }
    }
    return chosen;
}

QByteArrayList StandinHarness::clientHeaderNames(const LoggedRequest& request)
{
    QByteArrayList names;
    for (const auto& header : clientHeaders(request)) {
        names.append(header.first);
    }
    return names;
}

bool StandinHarness::hasNumericRand(const LoggedRequest& request)
{
    const QByteArray query = request.query();
    const qsizetype at = query.indexOf("rand=");
    if (at < 0 || (at > 0 && query.at(at - 1) != '&')) {
        return false;
    }
    const QByteArray value = query.mid(at + 5).split('&').first();
    if (value.isEmpty() || value.size() > 10) {
        return false;
    }
    for (char c : value) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return value.toULongLong() <= 4294967295ULL && (value == "0" || !value.startsWith('0'));
}

QByteArray StandinHarness::queryWithoutRand(const LoggedRequest& request)
{
    QByteArrayList kept;
    for (const QByteArray& pair : request.query().split('&')) {
        if (!pair.startsWith("rand=")) {
            kept.append(pair);
        }
    }
    return kept.join('&');
}
