#include "sim/SimulatedSerialPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "sim/SimulatedPortFactory.h"
#include "sim/SimulatedSensor.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

using std::chrono_literals::operator""ms;

class SimulatedSerialPortTest : public ::testing::Test {
protected:
    std::shared_ptr<SimulatedSensor> Plug(int com, SensorKind kind) {
        auto sensor = std::make_shared<SimulatedSensor>(loop, kind);
        EXPECT_TRUE(factory.Attach(com, sensor));
        return sensor;
    }

    std::unique_ptr<SimulatedSerialPort> MakePort(int com, const char* settings = "9600,n,8,1") {
        auto port = factory.CreateSimulatedPort();
        port->SetCommPort(com);
        port->SetSettings(settings);
        port->SetOnComm([this](CommEvent e) { events.push_back(e); });
        return port;
    }

    int Count(CommEvent kind) const {
        return static_cast<int>(std::count(events.begin(), events.end(), kind));
    }

    VirtualEventLoop loop;
    SimulatedPortFactory factory{loop};
    std::vector<CommEvent> events;
};

TEST_F(SimulatedSerialPortTest, OpenFailsForMissingBusyAlreadyOpenAndMalformedSettings) {
    Plug(3, SensorKind::Temperature);

    auto missing = MakePort(5);
    EXPECT_FALSE(missing->Open());
    EXPECT_FALSE(missing->IsOpen());
    EXPECT_EQ(missing->LastError(), "COM5: no such port");

    auto malformed = MakePort(3, "9600,x,8,1");
    EXPECT_FALSE(malformed->Open());
    EXPECT_NE(malformed->LastError().find("COM3"), std::string::npos);
    EXPECT_NE(malformed->LastError().find("parity"), std::string::npos);

    auto first = MakePort(3);
    ASSERT_TRUE(first->Open());
    EXPECT_TRUE(first->IsOpen());
    EXPECT_FALSE(first->Open());
    EXPECT_EQ(first->LastError(), "COM3: port already open");
    EXPECT_TRUE(first->IsOpen());

    auto second = MakePort(3);
    EXPECT_FALSE(second->Open());
    EXPECT_EQ(second->LastError(), "COM3: port is busy");

    // Closing frees the number for the next owner.
    first->Close();
    EXPECT_TRUE(second->Open());
    EXPECT_TRUE(second->LastError().empty());
}

TEST_F(SimulatedSerialPortTest, DestroyingAnOpenPortFreesItsComNumber) {
    Plug(2, SensorKind::Water);
    {
        auto port = MakePort(2);
        ASSERT_TRUE(port->Open());
        EXPECT_TRUE(factory.IsBusy(2));
    }
    EXPECT_FALSE(factory.IsBusy(2));
    EXPECT_TRUE(MakePort(2)->Open());
}

TEST_F(SimulatedSerialPortTest, RepliesArriveLaterThroughTheLoopNeverInsideOutput) {
    Plug(1, SensorKind::Temperature);
    auto port = MakePort(1);
    ASSERT_TRUE(port->Open());

    port->Output("tf\r");
    EXPECT_EQ(port->InBufferCount(), 0);
    EXPECT_EQ(port->Input(), "");

    loop.RunFor(19ms);
    EXPECT_EQ(port->InBufferCount(), 0);
    loop.RunFor(1ms);
    EXPECT_EQ(port->InBufferCount(), 8);
    EXPECT_EQ(port->Input(), "072.50F\r");
    EXPECT_EQ(port->Input(), "");
    EXPECT_EQ(port->InBufferCount(), 0);
    EXPECT_EQ(port->Written(), "tf\r");
}

TEST_F(SimulatedSerialPortTest, ReceiveEventsFollowRThreshold) {
    auto sensor = Plug(1, SensorKind::Temperature);
    auto port = MakePort(1);
    ASSERT_TRUE(port->Open());

    port->Output("tf\r");
    loop.RunFor(100ms);
    EXPECT_EQ(Count(CommEvent::Receive), 0) << "RThreshold 0 reports line changes only";
    port->Input();

    port->SetRThreshold(1);
    sensor->SetCharacterGap(1ms);
    port->Output("tf\r");
    loop.RunFor(100ms);
    EXPECT_EQ(Count(CommEvent::Receive), 8) << "one event per arrival of one byte";
    port->Input();

    events.clear();
    port->SetRThreshold(5);
    port->Output("tf\r");
    loop.RunFor(100ms);
    // Bytes 5, 6, 7 and 8 each leave five or more waiting.
    EXPECT_EQ(Count(CommEvent::Receive), 4);
    EXPECT_EQ(port->Input(), "072.50F\r");
}

TEST_F(SimulatedSerialPortTest, LineChangesReachAnOpenPortOnceEachAndLater) {
    auto water = Plug(6, SensorKind::Water);
    auto proximity = Plug(7, SensorKind::Proximity);
    auto waterPort = MakePort(6);
    auto proxPort = MakePort(7);
    ASSERT_TRUE(waterPort->Open());
    ASSERT_TRUE(proxPort->Open());

    water->SetWet(true);
    water->SetWet(true);  // no change, no event
    EXPECT_TRUE(waterPort->CDHolding());
    EXPECT_TRUE(events.empty()) << "events are delivered by the loop, not inside the change";
    loop.RunFor(1ms);
    EXPECT_EQ(Count(CommEvent::CdChange), 1);

    proximity->SetPresent(true);
    proximity->SetPresent(false);
    loop.RunFor(1ms);
    EXPECT_EQ(Count(CommEvent::DsrChange), 2);
    EXPECT_FALSE(proxPort->DSRHolding());
    EXPECT_EQ(Count(CommEvent::CdChange), 1);
    EXPECT_FALSE(waterPort->DSRHolding());
}

TEST_F(SimulatedSerialPortTest, LinesReadAtOpenAndNoEventsWhileClosed) {
    auto water = Plug(6, SensorKind::Water);
    water->SetWet(true);
    auto port = MakePort(6);
    EXPECT_FALSE(port->CDHolding());
    ASSERT_TRUE(port->Open());
    EXPECT_TRUE(port->CDHolding()) << "a sensor wet before the port opened reads wet";

    water->SetWet(false);
    port->Close();  // the change is pending in the loop: a closed port must not report it
    water->SetWet(true);
    loop.RunFor(10ms);
    EXPECT_TRUE(events.empty());
}

TEST_F(SimulatedSerialPortTest, UnplugClosesThePortAndReportsDeviceLostOnce) {
    auto sensor = Plug(4, SensorKind::Temperature);
    auto port = MakePort(4);
    ASSERT_TRUE(port->Open());
    port->Output("tf\r");

    sensor->SetUnplugged(true);
    EXPECT_FALSE(port->IsOpen());
    EXPECT_FALSE(factory.IsBusy(4));
    loop.RunFor(100ms);
    EXPECT_EQ(Count(CommEvent::DeviceLost), 1);
    EXPECT_EQ(Count(CommEvent::Receive), 0);
    EXPECT_EQ(port->Input(), "") << "the reply in flight is lost with the cable";

    EXPECT_FALSE(port->Open());
    EXPECT_EQ(port->LastError(), "COM4: no such port");
    EXPECT_TRUE(factory.AvailablePorts().empty());

    sensor->SetUnplugged(false);
    ASSERT_TRUE(port->Open());
    port->Output("tf\r");
    loop.RunFor(100ms);
    EXPECT_EQ(port->Input(), "072.50F\r");
}

TEST_F(SimulatedSerialPortTest, DetachActsLikePullingTheCable) {
    Plug(4, SensorKind::Temperature);
    Plug(9, SensorKind::Distance);
    EXPECT_EQ(factory.AvailablePorts(), (std::vector<int>{4, 9}));
    auto port = MakePort(4);
    ASSERT_TRUE(port->Open());
    factory.Detach(4);
    EXPECT_FALSE(port->IsOpen());
    loop.RunFor(1ms);
    EXPECT_EQ(Count(CommEvent::DeviceLost), 1);
    EXPECT_EQ(factory.Device(4), nullptr);
    EXPECT_EQ(factory.AvailablePorts(), (std::vector<int>{9}));
}

TEST_F(SimulatedSerialPortTest, ReattachingReplacesTheDeviceAndLosesTheOldConnection) {
    Plug(4, SensorKind::Temperature);
    auto port = MakePort(4);
    ASSERT_TRUE(port->Open());
    Plug(4, SensorKind::Water);
    EXPECT_FALSE(port->IsOpen());
    ASSERT_TRUE(port->Open());
    port->Output("i\r");
    loop.RunFor(100ms);
    EXPECT_EQ(port->Input(), "Vigiltron/W v2.1\r");
    EXPECT_FALSE(factory.Attach(0, std::make_shared<SimulatedSensor>(loop, SensorKind::Water)));
    EXPECT_FALSE(factory.Attach(1, nullptr));
}

TEST_F(SimulatedSerialPortTest, InjectedErrorEventsReachOnlyAnOpenPort) {
    auto sensor = Plug(2, SensorKind::Proximity);
    auto port = MakePort(2);
    sensor->InjectEvent(CommEvent::Framing);
    ASSERT_TRUE(port->Open());
    sensor->InjectEvent(CommEvent::Framing);
    sensor->InjectEvent(CommEvent::RxParity);
    loop.RunFor(1ms);
    EXPECT_EQ(events, (std::vector<CommEvent>{CommEvent::Framing, CommEvent::RxParity}));
}

TEST_F(SimulatedSerialPortTest, AnUnreadStreamOverflowsTheBufferAndReportsItOnce) {
    auto sensor = Plug(8, SensorKind::Accelerometer);
    sensor->SetStreamInterval(10ms);
    auto port = MakePort(8);
    ASSERT_TRUE(port->Open());
    port->Output("a+\r");
    loop.RunFor(std::chrono::minutes(1));
    EXPECT_EQ(port->InBufferCount(), static_cast<int>(SimulatedSerialPort::kInBufferSize));
    EXPECT_EQ(Count(CommEvent::RxOverflow), 1);
    port->Input();
    loop.RunFor(100ms);
    EXPECT_GT(port->InBufferCount(), 0);
    EXPECT_LE(port->InBufferCount(), 10 * 17);  // ten lines of "+0.000g +0.000g \r"
}

TEST_F(SimulatedSerialPortTest, OutputOnAClosedPortIsIgnored) {
    auto sensor = Plug(1, SensorKind::Temperature);
    auto port = MakePort(1);
    port->Output("tf\r");
    ASSERT_TRUE(port->Open());
    loop.RunFor(100ms);
    EXPECT_TRUE(sensor->Commands().empty());
    EXPECT_EQ(port->Written(), "");
}

TEST_F(SimulatedSerialPortTest, PortsOutlivingTheFactoryStayHarmless) {
    auto factoryOwned = std::make_unique<SimulatedPortFactory>(loop);
    factoryOwned->Attach(1, std::make_shared<SimulatedSensor>(loop, SensorKind::Temperature));
    auto port = factoryOwned->CreatePort();
    port->SetCommPort(1);
    ASSERT_TRUE(port->Open());
    port->Output("tf\r");
    factoryOwned.reset();
    EXPECT_FALSE(port->IsOpen());
    loop.RunFor(100ms);
    EXPECT_FALSE(port->Open());
    EXPECT_EQ(port->LastError(), "COM1: no such port");
}

}  // namespace
}  // namespace vigiltron
