// The crossing from the port's worker to the UI thread: bytes handled one at a time and in order,
// error boxes shown on the UI thread while the worker waits, and a closed panel never keeping
// the worker waiting.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "panel/qt/panel_port_owner.h"
#include "panel_fixture.h"

namespace {

constexpr int kPort = 7;

TEST(PanelPortOwnerTest, HandsOverBytesInOrderAndOneAtATime) {
    constexpr int kBytes = 2000;
    PanelPortOwner owner;
    std::atomic<int> deliveriesStarted{0};
    std::vector<int> handled;
    owner.Attach({.byte =
                      [&](std::uint8_t byte, int port) {
                          handled.push_back(byte);
                          EXPECT_EQ(port, kPort);
                          // The worker has not moved on to the next byte.
                          EXPECT_EQ(deliveriesStarted.load(), static_cast<int>(handled.size()));
                      },
                  .hangUp = [] {}});
    std::thread worker([&] {
        for (int i = 0; i < kBytes; ++i) {
            deliveriesStarted.fetch_add(1);
            const auto byte = static_cast<std::uint8_t>(i);
            owner.DeliverBytes({&byte, 1}, kPort);
        }
    });
    EXPECT_TRUE(RunEventsUntil([&] { return handled.size() == kBytes; })) << handled.size();
    worker.join();
    for (int i = 0; i < kBytes; ++i) {
        ASSERT_EQ(handled[static_cast<std::size_t>(i)], i % 256) << "byte " << i;
    }
}

TEST(PanelPortOwnerTest, DispatchPendingHandlesAWaitingByteOutsideTheEventLoop) {
    PanelPortOwner owner;
    std::vector<int> handled;
    owner.Attach(
        {.byte = [&](std::uint8_t byte, int) { handled.push_back(byte); }, .hangUp = [] {}});
    std::thread worker([&] {
        const std::uint8_t byte = 0x42;
        owner.DeliverBytes({&byte, 1}, kPort);
    });
    const auto deadline = std::chrono::steady_clock::now() + kEventBound;
    while (handled.empty() && std::chrono::steady_clock::now() < deadline) {
        owner.DispatchPending();
    }
    worker.join();
    EXPECT_EQ(handled, std::vector<int>{0x42});
}

TEST(PanelPortOwnerTest, WorkersErrorBoxShowsOnTheUiThreadAndHoldsTheWorker) {
    PanelPortOwner owner;
    owner.Attach({.byte = [](std::uint8_t, int) {}, .hangUp = [] {}});
    std::atomic<bool> workerReturned{false};
    std::thread worker([&] {
        owner.ShowApplicationError("WARNING:  ReadFile() Failed");
        workerReturned = true;
    });

    QString title, text;
    bool critical = false, ownerless = false, workerHeld = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        title = box->windowTitle();
        text = box->text();
        critical = box->icon() == QMessageBox::Critical;
        ownerless = box->parentWidget() == nullptr;
        workerHeld = !workerReturned;
        box->accept();
    });
    poll.start(10);
    EXPECT_TRUE(RunEventsUntil([&] { return workerReturned.load(); }));
    worker.join();
    EXPECT_EQ(title, "Application Error");
    EXPECT_EQ(text, "WARNING:  ReadFile() Failed");
    EXPECT_TRUE(critical);
    EXPECT_TRUE(ownerless);
    EXPECT_TRUE(workerHeld);
}

TEST(PanelPortOwnerTest, DetachReleasesAWaitingWorkerAndDropsLaterRequests) {
    PanelPortOwner owner;
    std::vector<int> handled;
    owner.Attach(
        {.byte = [&](std::uint8_t byte, int) { handled.push_back(byte); }, .hangUp = [] {}});
    // Nobody runs the UI thread's events: both would wait for ever on an attached panel.
    const std::uint8_t first = 1;
    const std::uint8_t second = 2;
    std::thread byteWorker([&] { owner.DeliverBytes({&first, 1}, kPort); });
    std::thread errorWorker([&] { owner.ShowApplicationError("gone"); });
    owner.Detach();
    byteWorker.join();
    errorWorker.join();

    owner.DeliverBytes({&second, 1}, kPort);
    owner.ShowApplicationError("after the panel closed");
    QCoreApplication::processEvents();
    EXPECT_TRUE(handled.empty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
