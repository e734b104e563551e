// The port served on Qt's event loop: bytes read on the UI thread by the panel's notifiers and
// handled in order, a write the line cannot take at once finished when it becomes writable, the
// port not read while a box is up inside the byte handler, the "Application Error" box as the
// panel shows it, and a closed panel never reached.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "hosts/qt/panel_host.h"
#include "panel/connection_settings.h"
#include "panel_fixture.h"
#include "tests/serial/linux/pty_pair.h"
#include "tests/serial/linux/temp_dir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// One pty listed as the only port (port 1).
class QtPortTest : public ::testing::Test {
  protected:
    QtPortTest() {
        linked_ = symlink(module_.NearPath().c_str(), ports_.Join("module").c_str()) == 0;
        host_ =
            std::make_unique<PanelHost>([] { return std::vector<HardwarePort>(); }, ports_.Path());
    }
    ~QtPortTest() override { host_->port.Shutdown(); }

    void Open(const LineSettings& settings = kConnectionSettings) {
        ASSERT_TRUE(linked_);
        ASSERT_TRUE(host_->port.Setup(1, settings).Opened());
        ASSERT_TRUE(host_->port.StartWorker());
    }

    // Accepts the next modal box after `after`, noting its title and text.
    void AcceptNextBox(std::chrono::milliseconds after, QString* title, QString* text) {
        QTimer::singleShot(after, [title, text] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr) {
                *title = box->windowTitle();
                *text = box->text();
                box->accept();
            }
        });
    }

    TempDir ports_;
    PtyPair module_;
    bool linked_ = false;
    std::unique_ptr<PanelHost> host_;
};

TEST_F(QtPortTest, BytesAreReadOnTheUiThreadAndHandledInOrder) {
    Bytes handled;
    std::vector<std::int64_t> stamps;
    host_->owner.Attach({.byte =
                             [&](std::uint8_t byte, int port, std::int64_t at) {
                                 EXPECT_EQ(port, 1);
                                 handled.push_back(byte);
                                 stamps.push_back(at);
                             },
                         .lost = [](int) {}});
    Open();
    Bytes sent(3000);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<std::uint8_t>(i * 7);
    }
    ASSERT_TRUE(module_.Send(Bytes(sent.begin(), sent.begin() + 1000)));
    ASSERT_TRUE(RunEventsUntil([&] { return handled.size() == 1000; }));
    ASSERT_TRUE(module_.Send(Bytes(sent.begin() + 1000, sent.end())));
    ASSERT_TRUE(RunEventsUntil([&] { return handled.size() == sent.size(); }));
    EXPECT_EQ(handled, sent);
    EXPECT_TRUE(std::is_sorted(stamps.begin(), stamps.end()));
}

TEST_F(QtPortTest, AWriteTheLineCannotTakeAtOnceFinishesWhenItIsWritable) {
    LineSettings settings = kConnectionSettings;
    settings.writeBufferSize = 1 << 20;
    Open(settings);
    const Bytes frame(100000, 0x5A);
    host_->port.QueueWrite(frame.data(), frame.size());
    std::atomic<bool> done{false};
    Bytes written;
    std::thread farEnd([&] {
        written = module_.Receive(frame.size());
        done = true;
    });
    EXPECT_TRUE(RunEventsUntil([&] { return done.load(); }));
    farEnd.join();
    EXPECT_EQ(written, frame);
}

// A box shown from inside the byte handler runs a nested event loop: the port is not read then,
// so the bytes after it keep their order and none is handled inside the handler of another.
TEST_F(QtPortTest, NoByteIsHandledWhileAByteHandlerShowsABox) {
    Bytes handled;
    bool inHandler = false;
    bool nested = false;
    QString title, text;
    host_->owner.Attach({.byte =
                             [&](std::uint8_t byte, int, std::int64_t) {
                                 nested |= inHandler;
                                 inHandler = true;
                                 handled.push_back(byte);
                                 if (byte == 0) {
                                     QTimer::singleShot(20, [&] { module_.Send({3, 4}); });
                                     AcceptNextBox(std::chrono::milliseconds(200), &title, &text);
                                     host_->owner.ShowApplicationError("shown mid-block");
                                 }
                                 inHandler = false;
                             },
                         .lost = [](int) {}});
    Open();
    ASSERT_TRUE(module_.Send({0, 1, 2}));
    ASSERT_TRUE(RunEventsUntil([&] { return handled.size() == 5; }));
    EXPECT_EQ(handled, (Bytes{0, 1, 2, 3, 4}));
    EXPECT_FALSE(nested);
    EXPECT_EQ(title, "Application Error");
    EXPECT_EQ(text, "shown mid-block");
}

TEST_F(QtPortTest, ADetachedPanelIsNeverReached) {
    Bytes handled;
    int lost = 0;
    host_->owner.Attach(
        {.byte = [&](std::uint8_t byte, int, std::int64_t) { handled.push_back(byte); },
         .lost = [&](int) { ++lost; }});
    Open();
    host_->owner.Detach();
    ASSERT_TRUE(module_.Send({1, 2, 3}));
    module_.CloseFarEnd();
    host_->owner.ShowApplicationError("after the panel closed");
    RunEventsUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_TRUE(handled.empty());
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
