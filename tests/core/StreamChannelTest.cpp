#include "core/StreamChannel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim/SimulatedPortFactory.h"
#include "sim/SimulatedSensor.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

constexpr std::size_t kBound = StreamChannel::kMaxBacklogBytes;

class PushingSensor : public SimulatedSensor {
public:
    using SimulatedSensor::SimulatedSensor;
    void Push(std::string bytes) { Send(std::move(bytes), Milliseconds(0)); }
};

TEST(StreamChannelTest, BacklogKeepsTheNewestLinesWithinItsBytesAndCountsTheRest) {
    StreamChannel channel;
    std::string flood;
    for (int i = 0; i < 200000; ++i) {
        flood += std::to_string(i) + "\r";
    }
    channel.Receive(flood);
    EXPECT_LE(channel.BacklogBytes(), kBound);
    const std::size_t dropped = channel.TakeDropped();
    ASSERT_GT(dropped, 0u);
    EXPECT_EQ(dropped + channel.QueuedLines(), 200000u);
    EXPECT_EQ(channel.TakeDropped(), 0u);  // counted once

    std::string line;
    std::size_t next = dropped;
    while (channel.NextLine(line)) {
        ASSERT_EQ(line, std::to_string(next));
        ++next;
    }
    EXPECT_EQ(next, 200000u);
    EXPECT_EQ(channel.BacklogBytes(), 0u);

    // An empty line still costs its CR: a flood of them stays within the same bytes.
    channel.Receive(std::string(kBound + 10, '\r'));
    EXPECT_EQ(channel.QueuedLines(), kBound);
    EXPECT_EQ(channel.TakeDropped(), 10u);
    channel.Forget();
    EXPECT_EQ(channel.QueuedLines(), 0u);
    EXPECT_FALSE(channel.NextLine(line));
}

TEST(StreamChannelTest, ReplyWaitEndsAtTheCrAndWhatFollowsStartsTheNextLine) {
    VirtualEventLoop loop;
    SimulatedPortFactory ports{loop};
    auto sensor = std::make_shared<PushingSensor>(loop, SensorKind::Distance);
    ports.Attach(4, sensor);
    auto port = ports.CreatePort();
    port->SetCommPort(4);
    ASSERT_TRUE(port->Open()) << port->LastError();

    StreamChannel channel;
    channel.Receive("12");  // a stream line on its way when the command starts
    ASSERT_TRUE(channel.BeginExchange());
    EXPECT_FALSE(channel.BeginExchange());  // one command at a time
    channel.DeferLineChange();
    loop.StartTimer(Milliseconds(50), [&] { sensor->Push("OK\r4"); });
    Milliseconds t0 = loop.Elapsed();
    auto reply = channel.ReadReply(loop, *port, Milliseconds(200));
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, "OK\r");
    EXPECT_EQ(loop.Elapsed() - t0, Milliseconds(50));
    const StreamChannel::Deferred deferred = channel.EndExchange();
    EXPECT_TRUE(deferred.lineChanged);
    EXPECT_FALSE(deferred.received);
    EXPECT_FALSE(channel.InExchange());
    channel.Receive("5cm\r");
    std::string line;
    ASSERT_TRUE(channel.NextLine(line));
    EXPECT_EQ(line, "45cm");  // the line under way went with the reply's read

    // Silence ends the wait at its bound; a port that goes away ends it at once.
    t0 = loop.Elapsed();
    reply = channel.ReadReply(loop, *port, Milliseconds(200));
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, "");
    EXPECT_EQ(loop.Elapsed() - t0, Milliseconds(200));
    loop.StartTimer(Milliseconds(30), [&] { sensor->SetUnplugged(true); });
    t0 = loop.Elapsed();
    EXPECT_FALSE(channel.ReadReply(loop, *port, Milliseconds(200)));
    EXPECT_EQ(loop.Elapsed() - t0, Milliseconds(30));
}

}  // namespace
}  // namespace vigiltron
