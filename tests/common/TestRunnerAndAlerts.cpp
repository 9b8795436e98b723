#include "common/Async.h"
#include "common/LocalNotificationService.h"
#include "common/SystemConfiguration.h"
#include "platform/Alert.h"
#include "platform/Dispatch.h"

#include <QCoreApplication>
#include <QMutex>
#include <QProcess>
#include <QSemaphore>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace {
// Set for the copy of this program that breaks the main-thread rule on purpose.
constexpr char OffMainThreadChild[] = "PENHOLLOW_OFF_MAIN_THREAD_CHILD";
} // namespace

class TestRunnerAndAlerts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Alert::setPresenter({}); }

    void testRunOnMainThreadNeverRunsInline()
    {
        bool ran = false;
        Dispatch::toMainThread([&] { ran = true; });
        QVERIFY(!ran);
        QTRY_VERIFY(ran);
    }

    void testRunOnMainThreadKeepsOrderFromOneThread()
    {
        QList<int> order;
        for (int i = 0; i < 100; ++i) {
            Dispatch::toMainThread([&order, i] { order << i; });
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
        Dispatch::toBackground([&] {
            for (int i = 0; i < 20; ++i) {
                Dispatch::toMainThread([&, i] {
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
        Dispatch::toBackground([&] {
            worker = QThread::currentThread();
            release.acquire(); // blocks the worker, not the caller
            done = true;
        });
        QVERIFY(!done);
        release.release();
        QTRY_VERIFY(done);
        QVERIFY(worker.load() != QThread::currentThread());
    }

    void testResultReachesTheReceiverOnTheMainThread()
    {
        QObject receiver;
        QThread* mainThread = QThread::currentThread();
        std::atomic<QThread*> worker{nullptr};
        std::optional<int> result;
        QThread* deliveredOn = nullptr;
        Async::runThenCallback(
            &receiver,
            [&] {
                worker = QThread::currentThread();
                return 42;
            },
            [&](int value) {
                result = value;
                deliveredOn = QThread::currentThread();
            });
        QTRY_VERIFY(result.has_value());
        QCOMPARE(*result, 42);
        QVERIFY(worker.load() != mainThread);
        QCOMPARE(deliveredOn, mainThread);

        // A result that is already there still comes after the caller's current work.
        bool ran = false;
        Async::then(Async::run([] {}), &receiver, [&] { ran = true; });
        QVERIFY(!ran);
        QTRY_VERIFY(ran);
    }

    void testReceiverGoneGetsNothing()
    {
        QSemaphore release;
        auto gone = std::make_unique<QObject>();
        QObject kept;
        bool goneCalled = false;
        bool keptCalled = false;
        const QFuture<int> read = Async::run([&] {
            release.acquire();
            return 1;
        });
        Async::then(read, gone.get(), [&](int) { goneCalled = true; });
        Async::then(read, &kept, [&](int) { keptCalled = true; });
        gone.reset();
        release.release();
        // The kept receiver hears of the same result, so the gone one would have heard by then.
        QTRY_VERIFY(keptCalled);
        QVERIFY(!goneCalled);
    }

    void testMainThreadRuleStopsTheProgramOffTheMainThread()
    {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(OffMainThreadChild, QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY2(child.waitForFinished(120000), "the child did not end");
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(child.readAllStandardError().contains("The child's call must run on the main thread"));
    }

    void testAlertFromBackgroundIsShownOnMainThread()
    {
        QList<AlertRequest> shown;
        QThread* shownOn = nullptr;
        Alert::setPresenter([&](const AlertRequest& request) {
            shown << request;
            shownOn = QThread::currentThread();
        });
        Dispatch::toBackground(
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

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet(OffMainThreadChild)) {
        std::thread([] { Dispatch::requireMainThread("The child's call"); }).join();
        return 0;
    }
    TestRunnerAndAlerts test;
    return QTest::qExec(&test, argc, argv);
}
#include "TestRunnerAndAlerts.moc"
