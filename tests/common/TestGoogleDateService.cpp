#include "common/GoogleDateService.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
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

    // The instant the pattern of the service's dates names (the reader's definition), in milliseconds.
    static std::optional<qint64> patternReading(const QString& text)
    {
        static const QRegularExpression pattern(QStringLiteral(
            R"(^(\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})(?:\.(\d{1,9}))?(?:(Z)|([+-])(\d{2}):?(\d{2}))$)"));
        const QRegularExpressionMatch match = pattern.match(text);
        if (!match.hasMatch()) {
            return std::nullopt;
        }
        const QDate date(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
        const int milliseconds = match.captured(7).left(3).leftJustified(3, '0').toInt();
        const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt(),
                         milliseconds);
        int offset = 0;
        if (!match.hasCaptured(8)) {
            if (match.captured(10).toInt() > 23 || match.captured(11).toInt() > 59) {
                return std::nullopt;
            }
            offset = (match.captured(10).toInt() * 3600 + match.captured(11).toInt() * 60) *
                     (match.captured(9) == "-" ? -1 : 1);
        }
        const QDateTime instant(date, time, Qt::OffsetFromUTC, offset);
        if (!date.isValid() || !time.isValid() || !instant.isValid()) {
            return std::nullopt;
        }
        const int localYear = instant.toLocalTime().date().year();
        if (localYear < 1 || localYear > 9999) {
            return std::nullopt;
        }
        return instant.toMSecsSinceEpoch();
    }

    // The text of an instant as Qt's local time writes it (the writer's definition); in UTC where the local
    // offset holds seconds.
    static QString qtLocalText(const QDateTime& instant)
    {
        QDateTime local = instant.toLocalTime();
        if (local.offsetFromUtc() % 60 != 0) {
            local = instant.toUTC();
        }
        QString text = QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d.%03d", local.date().year(),
                                         local.date().month(), local.date().day(), local.time().hour(),
                                         local.time().minute(), local.time().second(), local.time().msec());
        const int offset = local.offsetFromUtc();
        const int magnitude = std::abs(offset);
        return text + (offset == 0 ? QStringLiteral("Z")
                                   : QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+',
                                                       magnitude / 3600, (magnitude % 3600) / 60));
    }

private Q_SLOTS:
    void testReaderAgreesWithThePatternOnMutatedTexts()
    {
        const QStringList seeds{"2015-03-07T10:05:00.000-08:00", "2015-03-07T10:05:00-08:00",
                                "2016-02-29T23:59:59.123456789Z", "0001-01-01T00:00:00+0000",
                                "9999-12-31T23:59:59.9+23:59"};
        const QString alphabet = QStringLiteral("0123456789-+:.TZ \n\r\u0663x");
        QRandomGenerator random(20150307);
        int checked = 0;
        for (const QString& seed : seeds) {
            for (int round = 0; round < 4000; ++round) {
                QString text = seed;
                const int edits = 1 + int(random.bounded(3));
                for (int e = 0; e < edits; ++e) {
                    const qsizetype at = random.bounded(int(text.size()) + 1);
                    const QChar c = alphabet.at(random.bounded(int(alphabet.size())));
                    switch (random.bounded(3)) {
                    case 0:
                        text.insert(at, c);
                        break;
                    case 1:
                        if (at < text.size()) {
                            text[at] = c;
                        }
                        break;
                    default:
                        text.remove(at, 1);
                        break;
                    }
                }
                const std::optional<QDateTime> read = service.parseDate(text);
                const std::optional<qint64> expected = patternReading(text);
                QVERIFY2(read.has_value() == expected.has_value(), qPrintable(text));
                // The store reads its dates from their bytes: the same answer, non-ASCII included.
                const QByteArray bytes = text.toUtf8();
                QCOMPARE(service.parseDate(QLatin1StringView(bytes)), read);
                if (read) {
                    QCOMPARE(read->toMSecsSinceEpoch(), *expected);
                    ++checked;
                }
            }
        }
        // Enough mutations still read as dates for the comparison to mean something.
        QVERIFY(checked > 1000);
    }

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

    void testIsoDateWritesWhatQtLocalTimeShowsAcrossCenturies()
    {
        // Qt's own text, except in a fold where both offsets are summer time (Berlin's in 1945): there Qt
        // names the other pass of the hour, and the text must name the instant instead.
        auto mismatch = [this](const QDateTime& instant) -> QString {
            const QString text = service.isoDate(instant);
            const QString qtText = qtLocalText(instant);
            const bool qtNamesInstant =
                service.parseDate(qtText)->toMSecsSinceEpoch() == instant.toMSecsSinceEpoch();
            if (qtNamesInstant) {
                return text == qtText ? QString() : text + " / " + qtText;
            }
            const bool namesInstant =
                service.parseDate(text)->toMSecsSinceEpoch() == instant.toMSecsSinceEpoch();
            return namesInstant && text.left(23) == qtText.left(23) ? QString() : text + " / " + qtText;
        };
        QRandomGenerator random(19700101);
        const qint64 from = utc(1850, 1, 1, 0, 0).toMSecsSinceEpoch();
        const qint64 to = utc(2150, 1, 1, 0, 0).toMSecsSinceEpoch();
        for (int i = 0; i < 20000; ++i) {
            const qint64 msecs = from + qint64(random.generateDouble() * double(to - from));
            const QString failure = mismatch(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }
        // Every change of the zone's offset between 1900 and 2100, a second either side.
        const QTimeZone zone = QTimeZone::systemTimeZone();
        for (QTimeZone::OffsetData change = zone.nextTransition(utc(1900, 1, 1, 0, 0));
             change.atUtc.isValid() && change.atUtc.date().year() < 2100;
             change = zone.nextTransition(change.atUtc)) {
            for (int shift : {-1001, -1, 0, 999}) {
                const QString failure = mismatch(change.atUtc.addMSecs(shift));
                QVERIFY2(failure.isEmpty(), qPrintable(failure));
            }
        }
        // The same instant given in local time or with an offset writes the same text.
        const QDateTime instant = utc(2015, 3, 7, 18, 5, 30, 250);
        QCOMPARE(service.isoDate(instant.toLocalTime()), qtLocalText(instant));
        QCOMPARE(service.isoDate(instant.toOffsetFromUtc(-8 * 3600)), qtLocalText(instant));
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
