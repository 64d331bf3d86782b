#include "platform/QtSerialPort.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>

#include <gtest/gtest.h>

#include "platform/QtEventLoop.h"

namespace vigiltron {
namespace {

using std::chrono::milliseconds;

// A pseudo-terminal pair: the adapter opens the slave like a serial device, the test plays the
// sensor on the master.
class PtyPair {
public:
    PtyPair() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            slavePath_ = ::ptsname(master_);
        }
    }
    ~PtyPair() { CloseMaster(); }

    bool Ok() const { return master_ >= 0 && !slavePath_.empty(); }
    const std::string& SlavePath() const { return slavePath_; }

    void Write(std::string_view bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    // What the adapter sent, once `count` bytes are there (bounded wait on the descriptor).
    std::string Read(std::size_t count) {
        std::string got;
        for (int round = 0; round < 200 && got.size() < count; ++round) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) {
                continue;
            }
            char buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0) {
                got.append(buffer, std::size_t(n));
            }
        }
        return got;
    }

    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

private:
    int master_ = -1;
    std::string slavePath_;
};

class QtSerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty_.Ok());
        map_.Set(7, pty_.SlavePath());
        port_ = std::make_unique<QtSerialPort>(map_);
        port_->SetCommPort(7);
        port_->SetSettings("9600,n,8,1");
        port_->SetRTSEnable(true);
        port_->SetOnComm([this](CommEvent e) { events_.push_back(e); });
    }

    int Count(CommEvent kind) const {
        return int(std::count(events_.begin(), events_.end(), kind));
    }

    PtyPair pty_;
    PortMap map_;
    std::unique_ptr<QtSerialPort> port_;
    std::vector<CommEvent> events_;
    QtEventLoop loop_;
};

TEST_F(QtSerialPortTest, BytesPassUnalteredBothWays) {
    ASSERT_TRUE(port_->Open()) << port_->LastError();
    EXPECT_TRUE(port_->IsOpen());
    EXPECT_EQ(port_->DevicePath(), pty_.SlavePath());

    // Sent as they are: no line ending added, CR and LF untranslated, any byte value.
    const std::string command(
        "T\r\n\0\xff"
        "A",
        6);
    port_->Output(command);
    EXPECT_EQ(pty_.Read(command.size()), command);

    const std::string reply("+21.5\r\0\x80\n", 9);
    pty_.Write(reply);
    std::string got;
    ASSERT_TRUE(loop_.WaitUntil(milliseconds(2000), [&] {
        got += port_->Input();
        return got.size() >= reply.size();
    }));
    EXPECT_EQ(got, reply);
    // Read means gone: nothing is left, and reading does not block.
    EXPECT_EQ(port_->InBufferCount(), 0);
    EXPECT_EQ(port_->Input(), "");
    // Without a receive threshold only line events would be reported.
    EXPECT_EQ(Count(CommEvent::Receive), 0);
}

TEST_F(QtSerialPortTest, ReceiveEventsComeOnceThresholdBytesWait) {
    port_->SetRThreshold(4);
    ASSERT_TRUE(port_->Open()) << port_->LastError();

    pty_.Write("ab");
    ASSERT_TRUE(loop_.WaitUntil(milliseconds(2000), [&] { return port_->InBufferCount() == 2; }));
    EXPECT_EQ(Count(CommEvent::Receive), 0);

    pty_.Write("cd\r");
    ASSERT_TRUE(
        loop_.WaitUntil(milliseconds(2000), [&] { return Count(CommEvent::Receive) >= 1; }));
    EXPECT_EQ(port_->InBufferCount(), 5);
    EXPECT_EQ(port_->Input(), "abcd\r");

    // Threshold 1: every arrival raises an event, read in the handler as the sensors' code does.
    port_->SetRThreshold(1);
    std::string streamed;
    port_->SetOnComm([&](CommEvent e) {
        events_.push_back(e);
        if (e == CommEvent::Receive) {
            streamed += port_->Input();
        }
    });
    const int before = Count(CommEvent::Receive);
    pty_.Write("X=12\r");
    ASSERT_TRUE(loop_.WaitUntil(milliseconds(2000), [&] { return streamed == "X=12\r"; }));
    EXPECT_GT(Count(CommEvent::Receive), before);
}

TEST_F(QtSerialPortTest, OpenRefusesBadSettingsMissingDevicesAndSecondOpens) {
    port_->SetSettings("9600,x,8,1");
    EXPECT_FALSE(port_->Open());
    EXPECT_FALSE(port_->IsOpen());
    EXPECT_NE(port_->LastError().find("\"9600,x,8,1\""), std::string::npos) << port_->LastError();

    port_->SetSettings("19200,o,8,1");
    ASSERT_TRUE(port_->Open()) << port_->LastError();
    EXPECT_EQ(port_->LastError(), "");
    EXPECT_FALSE(port_->Open());
    EXPECT_NE(port_->LastError().find("already open"), std::string::npos) << port_->LastError();
    EXPECT_TRUE(port_->IsOpen());

    // Another port object on the same device finds it busy.
    QtSerialPort other(map_);
    other.SetCommPort(7);
    EXPECT_FALSE(other.Open());
    EXPECT_NE(other.LastError().find(pty_.SlavePath()), std::string::npos) << other.LastError();

    // Closing twice is harmless, and the port opens again afterwards.
    port_->Close();
    port_->Close();
    EXPECT_FALSE(port_->IsOpen());
    ASSERT_TRUE(port_->Open()) << port_->LastError();

    PortMap missing;
    missing.Set(3, "/dev/serial/by-id/usb-no-such-sensor");
    QtSerialPort absent(missing);
    absent.SetCommPort(3);
    EXPECT_FALSE(absent.Open());
    EXPECT_FALSE(absent.IsOpen());
    EXPECT_NE(absent.LastError().find("COM3 (/dev/serial/by-id/usb-no-such-sensor)"),
              std::string::npos)
        << absent.LastError();

    QtSerialPort invalid(missing);
    invalid.SetCommPort(0);
    EXPECT_FALSE(invalid.Open());
    EXPECT_NE(invalid.LastError().find("COM0"), std::string::npos);
}

TEST_F(QtSerialPortTest, ClosedPortIgnoresOutputAndGivesNoInput) {
    ASSERT_TRUE(port_->Open()) << port_->LastError();
    pty_.Write("late");
    ASSERT_TRUE(loop_.WaitUntil(milliseconds(2000), [&] { return port_->InBufferCount() == 4; }));
    port_->Close();
    EXPECT_EQ(port_->Input(), "");
    EXPECT_EQ(port_->InBufferCount(), 0);
    port_->Output("T\r");
    EXPECT_EQ(pty_.Read(1), "");
}

TEST_F(QtSerialPortTest, PseudoTerminalLinesReadLowWithoutEvents) {
    ASSERT_TRUE(port_->Open()) << port_->LastError();
    pty_.Write("x");
    ASSERT_TRUE(loop_.WaitUntil(milliseconds(2000), [&] { return port_->InBufferCount() == 1; }));
    EXPECT_FALSE(port_->DSRHolding());
    EXPECT_FALSE(port_->CDHolding());
    EXPECT_TRUE(events_.empty());
}

TEST_F(QtSerialPortTest, HangUpClosesThePortAndReportsTheLoss) {
    ASSERT_TRUE(port_->Open()) << port_->LastError();
    pty_.CloseMaster();  // what pulling the USB cable looks like to the port
    ASSERT_TRUE(
        loop_.WaitUntil(milliseconds(2000), [&] { return Count(CommEvent::DeviceLost) > 0; }));
    EXPECT_EQ(Count(CommEvent::DeviceLost), 1);
    EXPECT_FALSE(port_->IsOpen());
    EXPECT_NE(port_->LastError().find("COM7"), std::string::npos) << port_->LastError();

    // The engine may still touch the port before it notices.
    port_->Output("T\r");
    EXPECT_EQ(port_->Input(), "");
    EXPECT_EQ(port_->InBufferCount(), 0);
    port_->Close();
    QCoreApplication::processEvents();
    EXPECT_EQ(Count(CommEvent::DeviceLost), 1);
}

TEST(LineErrorEventsTest, EachRisingCounterGivesOneEventInCodeOrder) {
    using E = std::vector<CommEvent>;
    const LineErrorCounts zero;
    EXPECT_EQ(LineErrorEvents(zero, zero), E{});
    EXPECT_EQ(LineErrorEvents(zero, {.frame = 3}), E{CommEvent::Framing});
    EXPECT_EQ(LineErrorEvents({.parity = 2}, {.parity = 3}), E{CommEvent::RxParity});
    EXPECT_EQ(LineErrorEvents(
                  zero, {.frame = 1, .overrun = 1, .parity = 1, .brk = 1, .bufferOverrun = 1}),
              (E{CommEvent::Break, CommEvent::Framing, CommEvent::Overrun, CommEvent::RxOverflow,
                 CommEvent::RxParity}));
    // Counters never go down on a live port; a smaller value is no error.
    EXPECT_EQ(LineErrorEvents({.brk = 4}, zero), E{});
}

}  // namespace
}  // namespace vigiltron
