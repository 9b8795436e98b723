#include "JsonServiceError.h"

#include <QJsonArray>
#include <QJsonValue>

namespace {

std::optional<QString> nonEmptyText(const QJsonValue& value)
{
    if (value.isString() && !value.toString().isEmpty()) {
        return value.toString();
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> JsonServiceError::message(const QJsonObject& reply)
{
    const QJsonValue error = reply.value(QLatin1StringView("error"));
    if (error.isUndefined() || error.isNull()) {
        return std::nullopt;
    }
    if (error.isObject()) {
        const QJsonObject errorObject = error.toObject();
        const QJsonValue errors = errorObject.value(QLatin1StringView("errors"));
        if (errors.isArray() && !errors.toArray().isEmpty() && errors.toArray().first().isObject()) {
            if (auto text = nonEmptyText(errors.toArray().first().toObject().value(QLatin1StringView("message")))) {
                return text;
            }
        }
        if (auto text = nonEmptyText(errorObject.value(QLatin1StringView("message")))) {
            return text;
        }
    }
    if (auto text = nonEmptyText(reply.value(QLatin1StringView("error_description")))) {
        return text;
    }
    if (auto text = nonEmptyText(error)) {
        return text;
    }
    return couldNotParseMessage();
}
