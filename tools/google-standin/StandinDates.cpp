#include "StandinDates.h"

#include <QLocale>
#include <QRegularExpression>

QString StandinDates::write(const QDateTime& when, int utcOffsetMinutes, bool zulu)
{
    const QDateTime local = when.toUTC().addSecs(qint64(utcOffsetMinutes) * 60);
    QString text = local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"));
    if (utcOffsetMinutes == 0 && zulu)
        return text + QLatin1Char('Z');
    const int abs = qAbs(utcOffsetMinutes);
    text += utcOffsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+');
    text +=
        QStringLiteral("%1:%2").arg(abs / 60, 2, 10, QLatin1Char('0')).arg(abs % 60, 2, 10, QLatin1Char('0'));
    return text;
}

QDateTime StandinDates::parse(const QString& text)
{
    // Qt's own ISO reader is lenient; this one takes only what the services write.
    static const QRegularExpression re(QStringLiteral(
        R"(^(\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})(?:\.(\d{1,9}))?(Z|[+-]\d{2}:?\d{2})$)"));
    const QRegularExpressionMatch m = re.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    int ms = 0;
    if (!m.captured(7).isEmpty())
        ms = (m.captured(7) + QStringLiteral("00")).left(3).toInt();
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), ms);
    if (!date.isValid() || !time.isValid())
        return {};
    int offset = 0;
    const QString zone = m.captured(8);
    if (zone != QLatin1String("Z")) {
        QString digits = zone.mid(1);
        digits.remove(QLatin1Char(':'));
        offset = (digits.left(2).toInt() * 60 + digits.mid(2, 2).toInt()) * 60;
        if (zone.startsWith(QLatin1Char('-')))
            offset = -offset;
    }
    return QDateTime(date, time, Qt::UTC).addSecs(-offset);
}

QString StandinDates::displayTime(const QDateTime& when, int utcOffsetMinutes)
{
    const QDateTime local = when.toUTC().addSecs(qint64(utcOffsetMinutes) * 60);
    const QLocale c = QLocale::c();
    return c.toString(local.date(), QStringLiteral("MMMM d, yyyy")) + QStringLiteral(" at ") +
           c.toString(local.time(), QStringLiteral("h:mm AP"));
}

QByteArray StandinDates::httpDate(const QDateTime& when)
{
    return QLocale::c().toString(when.toUTC(), QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'")).toLatin1();
}
