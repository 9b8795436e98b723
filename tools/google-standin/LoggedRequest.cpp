#include "LoggedRequest.h"

#include <QUrlQuery>

QByteArray LoggedRequest::path() const
{
    const int q = target.indexOf('?');
    return q < 0 ? target : target.left(q);
}

QByteArray LoggedRequest::query() const
{
    const int q = target.indexOf('?');
    return q < 0 ? QByteArray() : target.mid(q + 1);
}

static bool findQueryValue(const QByteArray& query, const QString& key, QString* value)
{
    const QList<QByteArray> pairs = query.split('&');
    for (const QByteArray& pair : pairs) {
        if (pair.isEmpty())
            continue;
        const int eq = pair.indexOf('=');
        QByteArray name = eq < 0 ? pair : pair.left(eq);
        QByteArray raw = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        name.replace('+', ' ');
        raw.replace('+', ' ');
        if (QString::fromUtf8(QByteArray::fromPercentEncoding(name)) == key) {
            if (value)
                *value = QString::fromUtf8(QByteArray::fromPercentEncoding(raw));
            return true;
        }
    }
    return false;
}

QString LoggedRequest::queryValue(const QString& key) const
{
    QString value;
    findQueryValue(query(), key, &value);
    return value;
}

bool LoggedRequest::hasQueryKey(const QString& key) const
{
    return findQueryValue(query(), key, nullptr);
}

QByteArray LoggedRequest::header(const QByteArray& name) const
{
    for (const auto& h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

bool LoggedRequest::hasHeader(const QByteArray& name) const
{
    for (const auto& h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
