#include "StandinErrors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

static const QByteArray JsonType = "application/json; charset=UTF-8";

StandinResponse StandinErrors::jsonError(int status, const QString& reason, const QString& message)
{
    QJsonObject one{{"domain", "global"}, {"reason", reason}, {"message", message}};
    if (status == 401) {
        one.insert("locationType", "header");
        one.insert("location", "Authorization");
    }
    const QJsonObject error{{"errors", QJsonArray{one}}, {"code", status}, {"message", message}};
    StandinResponse r =
        StandinResponse::make(status, JsonType, QJsonDocument(QJsonObject{{"error", error}}).toJson());
    if (status == 401)
        r.setHeader("WWW-Authenticate", "Bearer realm=\"https://accounts.google.com/\", error=invalid_token");
    return r;
}

StandinResponse StandinErrors::invalidCredentials()
{
    return jsonError(401, "authError", "Invalid Credentials");
}

StandinResponse StandinErrors::notFound()
{
    return jsonError(404, "notFound", "Not Found");
}

StandinResponse StandinErrors::tokenError(int status, const QString& error, const QString& description)
{
    const QJsonObject o{{"error", error}, {"error_description", description}};
    return StandinResponse::make(status, JsonType, QJsonDocument(o).toJson());
}

StandinResponse StandinErrors::feedError(int status, const QString& text)
{
    return StandinResponse::make(status, "text/plain; charset=UTF-8", text.toUtf8());
}

StandinResponse StandinErrors::feedTokenInvalid()
{
    const QByteArray text = "Token invalid - Invalid token: Token not found";
    StandinResponse r =
        StandinResponse::make(401, "text/html; charset=UTF-8",
                              "<HTML>\n<HEAD>\n<TITLE>" + text +
                                  "</TITLE>\n</HEAD>\n<BODY BGCOLOR=\"#FFFFFF\" TEXT=\"#000000\">\n<H1>" +
                                  text + "</H1>\n<H2>Error 401</H2>\n</BODY>\n</HTML>\n");
    r.setHeader("WWW-Authenticate", "GoogleLogin realm=\"http://www.google.com/accounts/ClientLogin\"");
    return r;
}

StandinResponse StandinErrors::htmlErrorPage(int status)
{
    const QByteArray code = QByteArray::number(status);
    const QByteArray reason = StandinResponse::reasonPhrase(status);
    return StandinResponse::make(
        status, "text/html; charset=UTF-8",
        "<!DOCTYPE html>\n<html lang=en>\n<meta charset=utf-8>\n<title>Error " + code + " (" + reason +
            ")!!1</title>\n<p><b>" + code +
            ".</b> <ins>That\xE2\x80\x99s an error.</ins>\n"
            "<p>The server encountered a temporary error and could not complete your request.<p>Please try "
            "again in 30 seconds. <ins>That\xE2\x80\x99s all we know.</ins>\n");
}
