#include "platform/gui/StringServicesLayout.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QTest>

class TestTextLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void testLongTextWrapsAtTheBoxWidth()
    {
        const QFont font("Helvetica", 12);
        const QString text = QString("word ").repeated(60).trimmed();
        const QSizeF oneLine = StringServicesLayout().textSizeForWidth("word", font, {300, 1e6});
        const QSizeF wrapped = StringServicesLayout().textSizeForWidth(text, font, {300, 1e6});
        QVERIFY(wrapped.width() <= 300.0 + 0.5);
        QVERIFY(wrapped.height() >= 3 * oneLine.height());
        QVERIFY(oneLine.width() > 0);
    }

    void testLineFeedsAddLines()
    {
        const QFont font("Helvetica", 12);
        const QSizeF one = StringServicesLayout().textSizeForWidth("a", font, {300, 1e6});
        const QSizeF three = StringServicesLayout().textSizeForWidth("a\nb\nc", font, {300, 1e6});
        QVERIFY(three.height() > 2.5 * one.height());
    }

    void testLargerFontTakesMoreSpace()
    {
        const QSizeF small =
            StringServicesLayout().textSizeForWidth("Hello there", QFont("Helvetica", 12), {500, 1e6});
        const QSizeF large =
            StringServicesLayout().textSizeForWidth("Hello there", QFont("Helvetica", 24), {500, 1e6});
        QVERIFY(large.width() > small.width());
        QVERIFY(large.height() > small.height());
    }
};

QTEST_MAIN(TestTextLayout)
#include "TestTextLayout.moc"
