#include "ReplyShape.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QXmlStreamReader>

QSet<QString> ReplyShape::xml(const QByteArray& text, QString* error)
{
    QSet<QString> out;
    QXmlStreamReader reader(text);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString element =
            QLatin1Char('{') + reader.namespaceUri().toString() + QLatin1Char('}') + reader.name().toString();
        out.insert(element);
        for (const QXmlStreamAttribute& a : reader.attributes()) {
            out.insert(element + QStringLiteral("@{") + a.namespaceUri().toString() + QLatin1Char('}') +
                       a.name().toString());
        }
    }
    if (reader.hasError()) {
        if (error)
            *error = reader.errorString();
        return {};
    }
    return out;
}

static void collect(const QJsonValue& value, const QString& prefix, QSet<QString>* out)
{
    if (value.isObject()) {
        const QJsonObject o = value.toObject();
        for (auto it = o.begin(); it != o.end(); ++it) {
            const QString path = prefix.isEmpty() ? it.key() : prefix + QLatin1Char('.') + it.key();
            out->insert(path);
            collect(it.value(), path, out);
        }
    } else if (value.isArray()) {
        for (const QJsonValue& v : value.toArray())
            collect(v, prefix + QStringLiteral("[]"), out);
    }
}

QSet<QString> ReplyShape::json(const QByteArray& text, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &parseError);
    if (doc.isNull()) {
        if (error)
            *error = parseError.errorString();
        return {};
    }
    QSet<QString> out;
    collect(doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array()), QString(), &out);
    return out;
}

QString ReplyShape::difference(const QSet<QString>& actual, const QSet<QString>& expected)
{
    QStringList missing = QSet<QString>(expected).subtract(actual).values();
    QStringList extra = QSet<QString>(actual).subtract(expected).values();
    missing.sort();
    extra.sort();
    QString out;
    if (!missing.isEmpty())
        out += QStringLiteral("missing: ") + missing.join(QStringLiteral(", ")) + QLatin1Char('\n');
    if (!extra.isEmpty())
        out += QStringLiteral("extra: ") + extra.join(QStringLiteral(", "));
    return out;
}
