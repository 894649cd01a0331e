// The event thread against the fake backend: where and when handlings run for each SyncMethod,
// Count measured when the handling runs, the handling order, handler errors, hang-ups, and Close
// with a handling queued or called from inside a handling.

#include "core/ExceptionHandler.h"
#include "serial/CPort.h"
#include "serial/MainThreadQueue.h"
#include "tests/support/FakeComBackend.h"
#include "tests/support/WaitFor.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace memvane {
namespace {

using test::FakeComBackend;
using Calls = std::vector<std::string>;
using namespace std::chrono_literals;

// Lets the main thread service its events until `done` or the hang guard.
bool serviceUntil(const std::function<bool()>& done, std::chrono::milliseconds guard = 5s)
{
    auto end = std::chrono::steady_clock::now() + guard;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Waits, without servicing events, until the event thread has handed one more handling to the
// main thread than were waiting before.
bool handedOver(int before)
{
    return test::waitFor([before] { return mainthread::Pending() > before; });
}

// Gives a handling that is not supposed to happen its chance to happen.
void serviceFor(std::chrono::milliseconds span)
{
    auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
}

class ThreadTest : public ::testing::Test
{
protected:
    void open(TSyncMethod sync = smThreadSync)
    {
        port.SetSyncMethod(sync);
        port.Open();
        ASSERT_TRUE(fake->waitUntilWaiting(5000));
    }

    // Everything a handler touches outlives the port (its destructor may run a handling).
    std::vector<int> counts;
    std::atomic<int> calls{0};
    std::vector<std::string> order;
    std::vector<std::string> shown;
    std::thread::id handlerThread;
    std::atomic<bool> other{false};
    std::shared_ptr<FakeComBackend> fake = std::make_shared<FakeComBackend>();
    TComPort port{"ComPort1", fake};
};

TEST_F(ThreadTest, HandlingRunsOnlyWhenTheMainThreadServicesEvents)
{
    port.OnRxChar = [&](TCustomComPort*, int count) {
        handlerThread = std::this_thread::get_id();
        counts.push_back(count);
        std::string s;
        port.ReadStr(s, count);
        ++calls;
    };
    open();
    const int before = mainthread::Pending();
    fake->receive("abc");
    ASSERT_TRUE(handedOver(before)); // the main thread is busy, not servicing
    EXPECT_EQ(calls, 0);
    fake->receive("de"); // arrives before the handling runs: Count covers it
    ASSERT_TRUE(serviceUntil([&] { return calls == 1; }));
    EXPECT_EQ(counts, std::vector<int>{5});
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
    serviceFor(50ms);
    // The second arrival was reported by the next wait, but its bytes were read already.
    EXPECT_EQ(calls, 1);
    fake->receive("f");
    ASSERT_TRUE(serviceUntil([&] { return calls == 2; }));
    EXPECT_EQ(counts, (std::vector<int>{5, 1}));
}

TEST_F(ThreadTest, NoOnRxCharWhenAnExchangeTookTheBytes)
{
    port.OnRxChar = [&](TCustomComPort*, int) { ++calls; };
    open();
    fake->receive("reply");
    std::string s;
    EXPECT_EQ(port.ReadStr(s, 200), 5); // the exchange reads before servicing events
    serviceFor(100ms);
    EXPECT_EQ(calls, 0);
}

TEST_F(ThreadTest, HandlerErrorEndsDeliveryUntilReopen)
{
    port.OnRxChar = [&](TCustomComPort*, int) {
        ++calls;
        throw std::runtime_error("handler failed");
    };
    open();
    fake->receive("x");
    ASSERT_TRUE(serviceUntil([&] { return port.EventThread()->Finished(); }));
    EXPECT_EQ(calls, 1);
    fake->clearCalls();
    fake->receive("y");
    serviceFor(100ms);
    EXPECT_EQ(calls, 1);
    port.Close(); // still works
    // The thread ended at once: no closing steps of its own.
    EXPECT_EQ(fake->calls({"setCommMask", "purge", "close"}), (Calls{"purge 0x0003", "close"}));
    open();
    fake->receive("z");
    ASSERT_TRUE(serviceUntil([&] { return calls == 2; }));
}

TEST_F(ThreadTest, CloseRunsAQueuedHandlingThenDiscardsTheQueue)
{
    bool connectedInHandler = false;
    port.OnRxChar = [&](TCustomComPort* sender, int count) {
        connectedInHandler = sender->Connected();
        counts.push_back(count);
    };
    open();
    const int before = mainthread::Pending();
    fake->receive("1234");
    ASSERT_TRUE(handedOver(before)); // the handling is queued, nobody services it
    EXPECT_TRUE(counts.empty());
    fake->clearCalls();
    port.Close();
    EXPECT_EQ(counts, std::vector<int>{4});
    EXPECT_TRUE(connectedInHandler);
    EXPECT_EQ(fake->calls({"setCommMask", "purge", "close"}),
              (Calls{"purge 0x0003", "setCommMask 0x0000", "purge 0x000C", "close"}));
    EXPECT_EQ(fake->queued(), ""); // bytes left in the driver are discarded
}

TEST_F(ThreadTest, CloseInsideAHandlingThatCloseRuns)
{
    int afterClose = 0;
    port.OnAfterClose = [&](TCustomComPort*) { ++afterClose; };
    port.OnRxChar = [&](TCustomComPort* sender, int) {
        ++calls;
        sender->Close(); // already closing: the outer Close finishes
    };
    open();
    const int before = mainthread::Pending();
    fake->receive("x");
    ASSERT_TRUE(handedOver(before));
    port.Close();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(afterClose, 1);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(fake->openDevices(), 0);
    port.OnAfterClose = nullptr;
}

TEST_F(ThreadTest, HandlingOrderOfOneDispatch)
{
    port.OnError = [&](TCustomComPort*, TComErrors) { order.push_back("error"); };
    port.OnRxChar = [&](TCustomComPort*, int) { order.push_back("rx"); };
    port.OnTxEmpty = [&](TCustomComPort*) { order.push_back("txempty"); };
    port.OnBreak = [&](TCustomComPort*) { order.push_back("break"); };
    port.OnRing = [&](TCustomComPort*) { order.push_back("ring"); };
    port.OnCTSChange = [&](TCustomComPort*, bool on) { order.push_back(on ? "cts1" : "cts0"); };
    port.OnDSRChange = [&](TCustomComPort*, bool on) { order.push_back(on ? "dsr1" : "dsr0"); };
    port.OnRxFlag = [&](TCustomComPort*) { order.push_back("flag"); };
    port.OnRLSDChange = [&](TCustomComPort*, bool on) { order.push_back(on ? "rlsd1" : "rlsd0"); };
    port.OnRx80Full = [&](TCustomComPort*) { order.push_back("80full"); };
    fake->receive("q"); // queued before the open, so only the raise below reports events
    open();
    order.clear(); // the open notifications
    fake->setModemStatus(MS_DSR_ON);
    fake->raise(0x05FF);
    ASSERT_TRUE(serviceUntil([&] { return order.size() >= 9; }));
    // No line errors were queued, so OnError is skipped.
    EXPECT_EQ(order,
              (Calls{"rx", "txempty", "break", "ring", "cts0", "dsr1", "flag", "rlsd0", "80full"}));
    EXPECT_EQ(port.EventThread()->Events(), TComEvents::All());
}

TEST_F(ThreadTest, NoneRunsOnTheEventThread)
{
    const auto main = std::this_thread::get_id();
    port.OnRxChar = [&](TCustomComPort*, int) {
        other = std::this_thread::get_id() != main;
        ++calls;
    };
    open(smNone);
    fake->receive("a");
    // No servicing needed.
    auto end = std::chrono::steady_clock::now() + 5s;
    while (calls == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(other);
}

TEST_F(ThreadTest, NoneHandlerErrorEndsTheThread)
{
    port.OnRxChar = [&](TCustomComPort*, int) {
        ++calls;
        throw std::runtime_error("x");
    };
    open(smNone);
    fake->receive("a");
    auto end = std::chrono::steady_clock::now() + 5s;
    while (!port.EventThread()->Finished() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(port.EventThread()->Finished());
    port.Close();
}

TEST_F(ThreadTest, DisableEventsDropsEverything)
{
    port.OnRxChar = [&](TCustomComPort*, int) { ++calls; };
    open(smDisableEvents);
    fake->receive("abc");
    serviceFor(100ms);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(fake->queued(), "abc");
}

TEST_F(ThreadTest, WindowSyncPostsEachEventAndReportsErrors)
{
    SetApplicationExceptionHandler([&](const std::exception& e) { shown.push_back(e.what()); });
    port.OnRing = [&](TCustomComPort*) {
        order.push_back("ring");
        throw std::runtime_error("ring failed");
    };
    port.OnRxChar = [&](TCustomComPort*, int n) {
        order.push_back("rx" + std::to_string(n));
        std::string s;
        port.ReadStr(s, n);
    };
    open(smWindowSync);
    fake->receive("ab");
    fake->raise(EV_RING);
    ASSERT_TRUE(serviceUntil([&] { return order.size() >= 2; }));
    EXPECT_EQ(order, (Calls{"rx2", "ring"}));
    EXPECT_EQ(shown, Calls{"ring failed"});
    // Delivery goes on after a handler error.
    fake->receive("c");
    ASSERT_TRUE(serviceUntil([&] { return order.size() >= 3; }));
    EXPECT_EQ(order.back(), "rx1");
    SetApplicationExceptionHandler(nullptr);
}

TEST_F(ThreadTest, WindowSyncPostsAfterCloseAreDropped)
{
    port.OnRxChar = [&](TCustomComPort*, int) { ++calls; };
    open(smWindowSync);
    const int before = mainthread::Pending();
    fake->receive("a");
    ASSERT_TRUE(handedOver(before)); // posted, not yet run
    port.Close();
    serviceFor(50ms);
    EXPECT_EQ(calls, 0);
}

TEST_F(ThreadTest, HangUpSeenByAnOperationClosesAtOnceAndTheLateNoticeLeavesTheNextDevice)
{
    open();
    fake->hangUp();
    // The event thread has ended and left its notice for the main thread, which does not
    // service it before the write.
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!port.EventThread()->Finished() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(port.EventThread()->Finished());
    try {
        port.WriteStr("x");
        FAIL() << "a write on a hung-up device cannot succeed";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 2);
        EXPECT_EQ(e.Detail(), "lost COM1: hung up");
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.EventThread(), nullptr);
    EXPECT_EQ(fake->openDevices(), 0);
    open(); // the device is back
    mainthread::Drain(); // the first thread's notice, posted before it ended
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(fake->openDevices(), 1);
    EXPECT_EQ(port.WriteStr("x"), 1);
}

TEST_F(ThreadTest, CloseFromInsideItsOwnHandling)
{
    port.OnRxChar = [&](TCustomComPort* sender, int) {
        ++calls;
        sender->Close();
    };
    open();
    fake->receive("a");
    ASSERT_TRUE(serviceUntil([&] { return calls == 1 && fake->openDevices() == 0; }));
    EXPECT_FALSE(port.Connected());
    // The port opens again at once on a new device.
    open();
    fake->receive("b");
    ASSERT_TRUE(serviceUntil([&] { return calls == 2 && fake->openDevices() == 0; }));
}

TEST_F(ThreadTest, CloseFromInsideAHandlingOnTheEventThread)
{
    port.OnRxChar = [&](TCustomComPort* sender, int) {
        sender->Close();
        ++calls;
    };
    open(smNone);
    fake->receive("a");
    auto end = std::chrono::steady_clock::now() + 5s;
    while ((calls == 0 || fake->openDevices() != 0) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(fake->openDevices(), 0);
}

TEST_F(ThreadTest, DestroyingThePortInsideItsHandling)
{
    auto* owned = new TComPort("Temp", fake);
    owned->OnRxChar = [&](TCustomComPort* sender, int) {
        ++calls;
        delete sender;
    };
    owned->Open();
    ASSERT_TRUE(fake->waitUntilWaiting(5000));
    fake->receive("a");
    ASSERT_TRUE(serviceUntil([&] { return calls == 1 && fake->openDevices() == 0; }));
}

TEST_F(ThreadTest, PriorityReachesTheThread)
{
    port.SetEventThreadPriority(tpLowest);
    open();
    EXPECT_TRUE(serviceUntil([&] { return fake->threadPriority() == tpLowest; }));
}

TEST(MainThreadQueue, SyncCallsRunInOrderAndReturnTheirErrors)
{
    mainthread::Attach(); // what every port's constructor does
    std::vector<int> order;
    std::exception_ptr err;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        mainthread::RunSync([&] { order.push_back(1); });
        err = mainthread::RunSync([&] { throw std::runtime_error("boom"); });
        mainthread::RunSync([&] { order.push_back(2); });
        done = true;
        mainthread::Notify();
    });
    // The Qt event loop runs the calls...
    EXPECT_TRUE(serviceUntil([&] { return done.load(); }));
    // ...and should it not, this releases the worker so the test can fail instead of hanging.
    mainthread::ServiceUntil([&] { return done.load(); });
    worker.join();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    ASSERT_TRUE(err);
    EXPECT_THROW(std::rethrow_exception(err), std::runtime_error);
    // On the main thread itself the call runs at once.
    bool ran = false;
    mainthread::RunSync([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(MainThreadQueue, ServiceUntilRunsSyncCallsButNotPosts)
{
    bool posted = false, synced = false;
    std::atomic<bool> finished{false};
    mainthread::Attach();
    mainthread::Post([&] { posted = true; });
    std::thread worker([&] {
        mainthread::RunSync([&] { synced = true; });
        finished = true;
        mainthread::Notify();
    });
    mainthread::ServiceUntil([&] { return finished.load(); });
    worker.join();
    EXPECT_TRUE(synced);
    EXPECT_FALSE(posted);
    mainthread::Drain();
    EXPECT_TRUE(posted);
}

} // namespace
} // namespace memvane
