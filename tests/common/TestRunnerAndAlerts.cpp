#include "common/BackgroundRunner.h"
#include "common/LocalNotificationService.h"
#include "common/SystemConfiguration.h"
#include "platform/Alert.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSemaphore>
#include <QTest>
#include <QThread>

#include <atomic>

class TestRunnerAndAlerts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Alert::setPresenter({}); }

    void testRunOnMainThreadNeverRunsInline()
    {
        bool ran = false;
        BackgroundRunner().runOnMainThread([&] { ran = true; });
        QVERIFY(!ran);
        QTRY_VERIFY(ran);
    }

    void testRunOnMainThreadKeepsOrderFromOneThread()
    {
        QList<int> order;
        for (int i = 0; i < 100; ++i) {
            BackgroundRunner().runOnMainThread([&order, i] { order << i; });
        }
        QTRY_COMPARE(order.size(), 100);
        for (int i = 0; i < 100; ++i) {
            QCOMPARE(order[i], i);
        }
    }

    void testRunOnMainThreadFromBackgroundLandsOnMainThread()
    {
        QThread* mainThread = QThread::currentThread();
        std::atomic<QThread*> seen{nullptr};
        QList<int> order;
        BackgroundRunner().run([&] {
            for (int i = 0; i < 20; ++i) {
                BackgroundRunner().runOnMainThread([&, i] {
                    seen = QThread::currentThread();
                    order << i;
                });
            }
        });
        QTRY_COMPARE(order.size(), 20);
        QCOMPARE(seen.load(), mainThread);
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(order[i], i);
        }
    }

    void testRunUsesAnotherThreadAndReturnsAtOnce()
    {
        QSemaphore release;
        std::atomic<bool> done{false};
        std::atomic<QThread*> worker{nullptr};
        BackgroundRunner().run([&] {
            worker = QThread::currentThread();
            release.acquire(); // blocks the worker, not the caller
            done = true;
        });
        QVERIFY(!done);
        release.release();
        QTRY_VERIFY(done);
        QVERIFY(worker.load() != QThread::currentThread());
    }

    void testAlertFromBackgroundIsShownOnMainThread()
    {
        QList<AlertRequest> shown;
        QThread* shownOn = nullptr;
        Alert::setPresenter([&](const AlertRequest& request) {
            shown << request;
            shownOn = QThread::currentThread();
        });
        BackgroundRunner().run(
            [] { LocalNotificationService().showCriticalAlert("Cannot publish your post", "boom"); });
        QTRY_COMPARE(shown.size(), 1);
        QCOMPARE(shownOn, QThread::currentThread());
        QCOMPARE(shown[0].style, AlertStyle::Critical);
        QCOMPARE(shown[0].title, QStringLiteral("Cannot publish your post"));
        QCOMPARE(shown[0].message, QStringLiteral("boom"));
    }

    void testAlertCallReturnsBeforeShowing()
    {
        QList<AlertRequest> shown;
        Alert::setPresenter([&](const AlertRequest& request) { shown << request; });
        LocalNotificationService().showInfoAlert("Title only", "");
        QVERIFY(shown.isEmpty());
        QTRY_COMPARE(shown.size(), 1);
        QCOMPARE(shown[0].style, AlertStyle::Informational);
        QVERIFY(shown[0].message.isEmpty());
    }

    void testLinuxIsNotTheOldSystemVersion() { QVERIFY(!SystemConfiguration().isAtLeastYosemite()); }
};

QTEST_GUILESS_MAIN(TestRunnerAndAlerts)
#include "TestRunnerAndAlerts.moc"
