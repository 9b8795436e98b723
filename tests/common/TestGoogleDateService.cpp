#include "common/GoogleDateService.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>

// Runs under several TZ values (see CMakeLists.txt); expectations are computed for the zone in force.
class TestGoogleDateService : public QObject
{
    Q_OBJECT

private:
    GoogleDateService service;

    static QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0)
    {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
    }

private Q_SLOTS:
    void testBothServiceFormsParseToSameInstant()
    {
        const auto withMillis = service.parseDate("2015-03-07T10:05:00.000-08:00");
        const auto withoutMillis = service.parseDate("2015-03-07T10:05:00-08:00");
        QVERIFY(withMillis && withoutMillis);
        QCOMPARE(*withMillis, *withoutMillis);
        QCOMPARE(withMillis->toUTC(), utc(2015, 3, 7, 18, 5));
    }

    void testOffsetForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");
        QTest::newRow("colon") << "2015-03-07T10:05:00.250+01:00" << utc(2015, 3, 7, 9, 5, 0, 250);
        QTest::newRow("no colon") << "2015-03-07T10:05:00.250+0100" << utc(2015, 3, 7, 9, 5, 0, 250);
        QTest::newRow("Z") << "2015-03-07T10:05:00.250Z" << utc(2015, 3, 7, 10, 5, 0, 250);
        QTest::newRow("Z without millis") << "2015-03-07T10:05:00Z" << utc(2015, 3, 7, 10, 5);
        QTest::newRow("half hour") << "2015-03-07T10:05:00+05:30" << utc(2015, 3, 7, 4, 35);
        QTest::newRow("atom feed") << "2024-05-02T09:30:00.001-07:00" << utc(2024, 5, 2, 16, 30, 0, 1);
    }

    void testOffsetForms()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const auto parsed = service.parseDate(text);
        QVERIFY2(parsed.has_value(), qPrintable(text));
        QCOMPARE(parsed->toMSecsSinceEpoch(), expected.toMSecsSinceEpoch());
    }

    void testMalformedTextsGiveNone_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("date only") << "2015-03-07";
        QTest::newRow("no offset") << "2015-03-07T10:05:00";
        QTest::newRow("no offset millis") << "2015-03-07T10:05:00.000";
        QTest::newRow("space separator") << "2015-03-07 10:05:00Z";
        QTest::newRow("month 13") << "2015-13-07T10:05:00Z";
        QTest::newRow("feb 30") << "2015-02-30T10:05:00Z";
        QTest::newRow("hour 24") << "2015-03-07T24:05:00Z";
        QTest::newRow("trailing text") << "2015-03-07T10:05:00Zjunk";
        QTest::newRow("arabic digits") << QString::fromUtf8("٢٠١٥-03-07T10:05:00Z");
    }

    void testMalformedTextsGiveNone()
    {
        QFETCH(QString, text);
        QVERIFY(!service.parseDate(text).has_value());
    }

    void testIsoDateRoundTripsToTheMillisecond_data()
    {
        QTest::addColumn<QDateTime>("instant");
        // Around the European and American summer-time changes and at ordinary times.
        QTest::newRow("winter") << utc(2015, 1, 15, 12, 0, 0, 123);
        QTest::newRow("summer") << utc(2015, 7, 15, 12, 0, 0, 999);
        QTest::newRow("just before EU spring change") << utc(2015, 3, 29, 0, 59, 59, 999);
        QTest::newRow("just after EU spring change") << utc(2015, 3, 29, 1, 0, 0, 1);
        QTest::newRow("EU autumn ambiguous hour") << utc(2015, 10, 25, 0, 30);
        QTest::newRow("EU autumn second pass") << utc(2015, 10, 25, 1, 30);
        QTest::newRow("US spring change") << utc(2015, 3, 8, 10, 30);
        QTest::newRow("US autumn change") << utc(2015, 11, 1, 9, 30);
        QTest::newRow("leap day") << utc(2016, 2, 29, 23, 59, 59, 500);
        QTest::newRow("epoch") << utc(1970, 1, 1, 0, 0);
    }

    void testIsoDateRoundTripsToTheMillisecond()
    {
        QFETCH(QDateTime, instant);
        const QString text = service.isoDate(instant);
        const auto back = service.parseDate(text);
        QVERIFY2(back.has_value(), qPrintable(text));
        QCOMPARE(back->toMSecsSinceEpoch(), instant.toMSecsSinceEpoch());
        // The offset written is the one valid on that date, not today's.
        const int offset = instant.toLocalTime().offsetFromUtc();
        if (offset == 0) {
            QVERIFY2(text.endsWith('Z'), qPrintable(text));
        } else {
            const int magnitude = std::abs(offset);
            const QString suffix = QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', magnitude / 3600,
                                                     (magnitude % 3600) / 60);
            QVERIFY2(text.endsWith(suffix), qPrintable(text + " / " + suffix));
        }
        QCOMPARE(text.size(), offset == 0 ? 24 : 29);
    }

    void testDateOutsideFourDigitYearsInLocalTimeIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("year 1, far east") << "0001-01-01T00:30:00+14:00";
        QTest::newRow("year 1, UTC") << "0001-01-01T00:00:00Z";
        QTest::newRow("year 9999, far west") << "9999-12-31T23:59:59.999-12:00";
        QTest::newRow("year 9999, UTC") << "9999-12-31T23:59:59.999Z";
    }

    void testDateOutsideFourDigitYearsInLocalTimeIsRefused()
    {
        // Written back as machine text, a local year past 9999 or before 1 could never be read again.
        QFETCH(QString, text);
        const auto parsed = service.parseDate(text);
        const QDateTime instant = QDateTime::fromString(text, Qt::ISODateWithMs);
        QVERIFY(instant.isValid());
        const int localYear = instant.toLocalTime().date().year();
        QCOMPARE(parsed.has_value(), localYear >= 1 && localYear <= 9999);
        if (parsed) {
            QCOMPARE(service.parseDate(service.isoDate(*parsed)), parsed);
        }
    }

    void testOffsetWithSecondsBeforeStandardTimeRoundTrips()
    {
        // Local mean time: Berlin +00:53:28, Kolkata +05:53:28, Los Angeles -07:52:58 in 1850.
        const QDateTime instant = utc(1850, 6, 1, 12, 0, 0, 250);
        const QString text = service.isoDate(instant);
        QCOMPARE(service.parseDate(text)->toMSecsSinceEpoch(), instant.toMSecsSinceEpoch());
    }

    void testIsoDateUsesAsciiGregorianWhateverTheLocale()
    {
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        const QDateTime local(QDate(2015, 3, 7), QTime(10, 5), Qt::LocalTime);
        const QString text = service.isoDate(local);
        QVERIFY2(text.startsWith("2015-03-07T10:05:00.000"), qPrintable(text));
        for (QChar c : text) {
            QVERIFY2(c.unicode() < 128, qPrintable(text));
        }
        QLocale::setDefault(QLocale::c());
    }

    void testKnownLocalTextInBerlin()
    {
        if (QTimeZone::systemTimeZoneId() != "Europe/Berlin") {
            QSKIP("needs TZ=Europe/Berlin");
        }
        QCOMPARE(service.isoDate(utc(2015, 3, 7, 9, 5)), QStringLiteral("2015-03-07T10:05:00.000+01:00"));
        QCOMPARE(service.isoDate(utc(2015, 7, 7, 9, 5)), QStringLiteral("2015-07-07T11:05:00.000+02:00"));
    }

    void testZeroOffsetIsWrittenAsZ()
    {
        if (QDateTime(QDate(2015, 1, 1), QTime(12, 0), Qt::LocalTime).offsetFromUtc() != 0) {
            QSKIP("needs a zone at zero offset in January");
        }
        QCOMPARE(service.isoDate(utc(2015, 1, 1, 12, 0)), QStringLiteral("2015-01-01T12:00:00.000Z"));
    }

    void testDisplayDate()
    {
        QCOMPARE(service.displayDate(std::nullopt), QStringLiteral("Never"));
        const QDateTime local(QDate(2015, 3, 7), QTime(22, 5), Qt::LocalTime);
        const QString shown = service.displayDate(local);
        QVERIFY2(shown.contains(QLocale::system().monthName(3)), qPrintable(shown));
        QVERIFY2(shown.contains(QLocale::system().toString(local, "HH:mm")), qPrintable(shown));
    }

    void testComponentsRoundTrip()
    {
        const auto date = service.dateFromComponents(2015, 3, 7, 10, 5);
        QVERIFY(date.has_value());
        QCOMPARE(date->toLocalTime().date(), QDate(2015, 3, 7));
        QCOMPARE(date->toLocalTime().time(), QTime(10, 5));
        QCOMPARE(service.dateComponents(*date), (DateComponents{2015, 3, 7, 10, 5}));
    }

    void testTimeSkippedBySpringChangeLandsAfterIt()
    {
        // The first forward change of 2015 in the zone in force, and the middle of the hour it skips.
        const QTimeZone zone = QTimeZone::systemTimeZone();
        QTimeZone::OffsetData change = zone.nextTransition(utc(2015, 1, 1, 0, 0));
        while (change.atUtc.isValid() && change.atUtc.date().year() == 2015 &&
               change.offsetFromUtc <= zone.offsetFromUtc(change.atUtc.addSecs(-1))) {
            change = zone.nextTransition(change.atUtc);
        }
        if (!change.atUtc.isValid() || change.atUtc.date().year() != 2015) {
            QSKIP("no forward clock change in this zone");
        }
        const int before = zone.offsetFromUtc(change.atUtc.addSecs(-1));
        const int skipped = change.offsetFromUtc - before;
        const QDateTime wall = change.atUtc.addSecs(before + skipped / 2).toTimeSpec(Qt::UTC);
        const QDateTime inGap(wall.date(), wall.time(), Qt::UTC);
        const auto date =
            service.dateFromComponents(inGap.date().year(), inGap.date().month(), inGap.date().day(),
                                       inGap.time().hour(), inGap.time().minute());
        QVERIFY2(date.has_value(), qPrintable(inGap.toString("yyyy-MM-dd HH:mm")));
        QCOMPARE(date->toMSecsSinceEpoch(), change.atUtc.addSecs(skipped / 2).toMSecsSinceEpoch());
    }

    void testImpossibleComponentsGiveNone()
    {
        QVERIFY(!service.dateFromComponents(2015, 13, 7, 10, 5));
        QVERIFY(!service.dateFromComponents(2015, 2, 29, 10, 5));
        QVERIFY(!service.dateFromComponents(2015, 3, 7, 24, 0));
        QVERIFY(!service.dateFromComponents(2015, 3, 7, 10, 60));
        QVERIFY(!service.dateFromComponents(2015, 0, 7, 10, 5));
        QVERIFY(!service.dateFromComponents(2015, 3, -1, 10, 5));
        QVERIFY(service.dateFromComponents(2016, 2, 29, 0, 0));
    }
};

QTEST_GUILESS_MAIN(TestGoogleDateService)
#include "TestGoogleDateService.moc"
