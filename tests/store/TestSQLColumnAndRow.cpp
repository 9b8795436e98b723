#include "store/SQLColumn.h"
#include "store/SQLRow.h"

#include <QTest>

#include <cmath>
#include <limits>

class TestSQLColumnAndRow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testIntegerColumnReadsAsEveryKind()
    {
        const SQLColumn column(QVariant::fromValue<qint64>(42), SQLColumn::integerTypeCode);
        QCOMPARE(column.asString(), QString("42"));
        QCOMPARE(column.asInt(), 42);
        QCOMPARE(column.asDouble(), 42.0);
        QCOMPARE(column.asData(), std::optional<QByteArray>("42"));
        QCOMPARE(column.asDate()->toMSecsSinceEpoch(), 42000);
    }

    void testSixtyFourBitIntegerKeepsAllDigits()
    {
        const qint64 big = 9007199254740993LL; // not representable as a double
        const SQLColumn column(QVariant::fromValue<qint64>(big), SQLColumn::integerTypeCode);
        QCOMPARE(column.asInt(), big);
        QCOMPARE(column.asString(), QString("9007199254740993"));
    }

    void testFloatColumnDropsFraction()
    {
        QCOMPARE(SQLColumn(2.9, SQLColumn::floatTypeCode).asInt(), 2);
        QCOMPARE(SQLColumn(-2.9, SQLColumn::floatTypeCode).asInt(), -2);
        QCOMPARE(SQLColumn(1.5, SQLColumn::floatTypeCode).asString(), QString("1.5"));
        QCOMPARE(SQLColumn(1e300, SQLColumn::floatTypeCode).asInt(), std::numeric_limits<qint64>::max());
    }

    void testTextWithLeadingDigitsReadsItsNumber()
    {
        const SQLColumn digits(QString("12abc"), SQLColumn::textTypeCode);
        QCOMPARE(digits.asInt(), 12);
        QCOMPARE(digits.asDouble(), 12.0);
        const SQLColumn letters(QString("abc"), SQLColumn::textTypeCode);
        QCOMPARE(letters.asInt(), 0);
        QCOMPARE(letters.asDouble(), 0.0);
        QCOMPARE(SQLColumn(QString("  -7.25e2x"), SQLColumn::textTypeCode).asDouble(), -725.0);
        QCOMPARE(SQLColumn(QString("  -7.25e2x"), SQLColumn::textTypeCode).asInt(), -7);
    }

    void testTextNumberBeyondSixtyFourBitsClamps()
    {
        const SQLColumn column(QString("99999999999999999999999"), SQLColumn::textTypeCode);
        QCOMPARE(column.asInt(), std::numeric_limits<qint64>::max());
    }

    void testTextReadsAsUtf8Data()
    {
        const SQLColumn column(QString::fromUtf8("é"), SQLColumn::textTypeCode);
        QCOMPARE(column.asData(), std::optional<QByteArray>("\xc3\xa9"));
    }

    void testNullColumnGivesEmptyAndNothing()
    {
        const SQLColumn column(QVariant(), SQLColumn::nullTypeCode);
        QCOMPARE(column.asString(), QString(""));
        QCOMPARE(column.asInt(), 0);
        QCOMPARE(column.asDouble(), 0.0);
        QVERIFY(!column.asData());
        QVERIFY(!column.asDate());
    }

    void testUnknownCodeGivesDefaults()
    {
        const SQLColumn column(QString("5"), 42);
        QCOMPARE(column.asString(), QString(""));
        QCOMPARE(column.asInt(), 0);
        QVERIFY(!column.asData());
        QVERIFY(!column.asDate());
    }

    void testBlobThatIsNotUtf8GivesEmptyText()
    {
        const SQLColumn column(QByteArray("\xff\xfe"
                                          "12",
                                          4),
                               SQLColumn::blobTypeCode);
        QCOMPARE(column.asString(), QString(""));
        QCOMPARE(column.asInt(), 0);
        QCOMPARE(column.asData(), std::optional<QByteArray>(QByteArray("\xff\xfe"
                                                                       "12",
                                                                       4)));
        QVERIFY(!column.asDate());
    }

    void testBlobOfUtf8ReadsItsText()
    {
        const SQLColumn column(QByteArray("34 apples"), SQLColumn::blobTypeCode);
        QCOMPARE(column.asString(), QString("34 apples"));
        QCOMPARE(column.asInt(), 34);
    }

    void testTextInDateLayoutReadsAsLocalTime()
    {
        const SQLColumn column(QString("2015-03-01 10:20:30"), SQLColumn::textTypeCode);
        const std::optional<QDateTime> date = column.asDate();
        QVERIFY(date);
        QCOMPARE(*date, QDateTime(QDate(2015, 3, 1), QTime(10, 20, 30), Qt::LocalTime));
    }

    void testIsoTextWithZoneIsNotADate()
    {
        QVERIFY(!SQLColumn(QString("2015-03-01T10:20:30Z"), SQLColumn::textTypeCode).asDate());
        QVERIFY(!SQLColumn(QString("2015-02-30 10:20:30"), SQLColumn::textTypeCode).asDate());
        QVERIFY(!SQLColumn(QString(""), SQLColumn::textTypeCode).asDate());
    }

    void testDateColumnReadsAsTextSecondsAndDate()
    {
        const QDateTime date(QDate(2015, 3, 1), QTime(10, 20, 30, 750), Qt::LocalTime);
        const SQLColumn column(date, SQLColumn::dateColumnTypeCode);
        QCOMPARE(column.asString(), QString("2015-03-01 10:20:30"));
        QCOMPARE(column.asInt(), date.toSecsSinceEpoch());
        QCOMPARE(column.asDouble(), date.toMSecsSinceEpoch() / 1000.0);
        QCOMPARE(column.asDate(), std::optional<QDateTime>(date));
        QCOMPARE(column.asData(), std::optional<QByteArray>("2015-03-01 10:20:30"));
    }

    void testSecondsBeyondAnyDateGiveNoDate()
    {
        QVERIFY(!SQLColumn(QVariant(1e300), SQLColumn::floatTypeCode).asDate());
        QVERIFY(!SQLColumn(QVariant(std::nan("")), SQLColumn::floatTypeCode).asDate());
        QVERIFY(!SQLColumn(QVariant::fromValue<qint64>(std::numeric_limits<qint64>::min()),
                           SQLColumn::integerTypeCode)
                     .asDate());
        QCOMPARE(SQLColumn(QVariant(-1.5), SQLColumn::floatTypeCode).asDate()->toMSecsSinceEpoch(), -1500);
    }

    void testDescriptionNamesCodeAndValue()
    {
        QCOMPARE(SQLColumn(QString("abc"), SQLColumn::textTypeCode).description(),
                 QString("Type: 3, Value: abc"));
        QCOMPARE(SQLColumn(QVariant::fromValue<qint64>(7), 1).description(), QString("Type: 1, Value: 7"));
    }

    void testRowLookupIsExactAndCaseSensitive()
    {
        SQLRow row;
        row.set("Title", SQLColumn(QString("a"), SQLColumn::textTypeCode));
        QVERIFY(row["Title"]);
        QVERIFY(!row["title"]);
        QVERIFY(!row["Missing"]);
        QVERIFY(!row.find("TITLE"));
    }

    void testRowWriteReplacesAndNoneRemoves()
    {
        SQLRow row;
        row.set("Id", SQLColumn(QVariant::fromValue<qint64>(1), 1));
        row.set("Id", SQLColumn(QVariant::fromValue<qint64>(2), 1));
        QCOMPARE(row.count(), 1);
        QCOMPARE(row["Id"]->asInt(), 2);
        row.set("Id", std::nullopt);
        QCOMPARE(row.count(), 0);
        QVERIFY(!row["Id"]);
    }

    void testRowDataIsACopy()
    {
        SQLRow row;
        row.set("A", SQLColumn(QString("x"), 3));
        QList<SQLRow::Entry> data = row.data();
        data.clear();
        QCOMPARE(row.count(), 1);
    }

    void testRowDescription()
    {
        SQLRow row;
        QCOMPARE(row.description(), QString("[:]"));
        row.set("Id", SQLColumn(QVariant::fromValue<qint64>(7), 1));
        row.set("Name", SQLColumn(QString("Ann"), 3));
        QCOMPARE(row.description(), QString("[Id: Type: 1, Value: 7, Name: Type: 3, Value: Ann]"));
    }
};

QTEST_GUILESS_MAIN(TestSQLColumnAndRow)
#include "TestSQLColumnAndRow.moc"
