#include "platform/ModemLineWatcher.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <atomic>

#include <gtest/gtest.h>

#include "platform/QtEventLoop.h"

namespace vigiltron {
namespace {

using std::chrono::milliseconds;

// Line states the test sets by hand, read by the watcher's worker thread.
struct FakeLines {
    enum class Mode { Poll, Block };

    explicit FakeLines(Mode m) : mode(m) { EXPECT_EQ(::pipe(wake), 0); }
    ~FakeLines() {
        ::close(wake[0]);
        ::close(wake[1]);
    }

    void Set(bool dsr, bool cd) {
        bits = (dsr ? 1 : 0) | (cd ? 2 : 0);
        if (mode == Mode::Block) {
            EXPECT_EQ(::write(wake[1], "x", 1), 1);  // what the driver's line interrupt does
        }
    }

    // Waits (bounded) until the worker has read the lines `count` more times.
    bool WaitForReads(int count) {
        std::unique_lock lock(mutex);
        const int target = reads + count;
        return readDone.wait_for(lock, milliseconds(2000), [&] { return reads >= target; });
    }

    const Mode mode;
    std::atomic<int> bits{0};
    std::atomic<bool> readable{true};
    int wake[2] = {-1, -1};
    std::mutex mutex;
    std::condition_variable readDone;
    int reads = 0;
};

class FakeLineSource : public ModemLineSource {
public:
    explicit FakeLineSource(FakeLines& lines) : lines_(lines) {}

    std::optional<ModemLines> Read() override {
        std::optional<ModemLines> result;
        if (lines_.readable) {
            const int bits = lines_.bits;
            result = ModemLines{(bits & 1) != 0, (bits & 2) != 0};
        }
        std::lock_guard lock(lines_.mutex);
        ++lines_.reads;
        lines_.readDone.notify_all();
        return result;
    }

    WaitResult WaitForChange() override {
        if (lines_.mode == FakeLines::Mode::Poll) {
            return WaitResult::Unsupported;
        }
        // Blocks like TIOCMIWAIT: only a change or a signal ends it. A blocking read is restarted
        // after a signal handled with SA_RESTART, just like the ioctl, so this checks that too.
        char c;
        if (::read(lines_.wake[0], &c, 1) < 0 && errno == EINTR) {
            return WaitResult::Interrupted;
        }
        return WaitResult::Changed;
    }

private:
    FakeLines& lines_;
};

struct Seen {
    CommEvent event;
    ModemLines linesAtEvent;
    std::thread::id thread;
};

class ModemLineWatcherTest : public ::testing::Test {
protected:
    ModemLineWatcher watcher_{[this](CommEvent e) { Record(e); }, milliseconds(1)};
    std::vector<Seen> seen_;
    std::function<void(CommEvent)> extra_;
    QtEventLoop loop_;

    void Record(CommEvent e) {
        seen_.push_back({e, watcher_.Lines(), std::this_thread::get_id()});
        if (extra_) {
            extra_(e);
        }
    }
    bool WaitForEvents(std::size_t n) {
        return loop_.WaitUntil(milliseconds(2000), [&] { return seen_.size() >= n; });
    }
};

TEST(ModemLineEventsTest, DecodesTheDriverBitsAndReportsOnlyChangedLines) {
    // TIOCM_DSR is 0x100 and TIOCM_CAR 0x040 on Linux; CTS (0x020) and RI (0x080) are not watched.
    EXPECT_EQ(ModemLinesFromBits(0x100), (ModemLines{true, false}));
    EXPECT_EQ(ModemLinesFromBits(0x040), (ModemLines{false, true}));
    EXPECT_EQ(ModemLinesFromBits(0x0a6), (ModemLines{false, false}));
    EXPECT_EQ(ModemLinesFromBits(0x1ff), (ModemLines{true, true}));

    using E = std::vector<CommEvent>;
    EXPECT_EQ(ModemLineEvents({false, true}, {false, true}), E{});
    EXPECT_EQ(ModemLineEvents({false, false}, {true, false}), E{CommEvent::DsrChange});
    EXPECT_EQ(ModemLineEvents({true, true}, {true, false}), E{CommEvent::CdChange});
    EXPECT_EQ(ModemLineEvents({true, false}, {false, true}),
              (E{CommEvent::DsrChange, CommEvent::CdChange}));
}

TEST_F(ModemLineWatcherTest, PollingDeliversEachChangeOnceOnTheOwnerThreadWithTheNewState) {
    FakeLines lines(FakeLines::Mode::Poll);
    watcher_.Start(std::make_unique<FakeLineSource>(lines));
    EXPECT_TRUE(watcher_.Watching());
    EXPECT_EQ(watcher_.Lines(), (ModemLines{false, false}));

    lines.Set(true, false);
    ASSERT_TRUE(WaitForEvents(1));
    // Several more polls of the unchanged state add nothing.
    ASSERT_TRUE(lines.WaitForReads(3));
    QCoreApplication::processEvents();
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].event, CommEvent::DsrChange);
    EXPECT_TRUE(seen_[0].linesAtEvent.dsr);
    EXPECT_EQ(seen_[0].thread, std::this_thread::get_id());

    lines.Set(false, true);
    ASSERT_TRUE(WaitForEvents(3));
    EXPECT_EQ(seen_[1].event, CommEvent::DsrChange);
    EXPECT_EQ(seen_[2].event, CommEvent::CdChange);
    // Both handlers already see the complete new state.
    EXPECT_EQ(seen_[1].linesAtEvent, (ModemLines{false, true}));
    EXPECT_EQ(seen_[2].linesAtEvent, (ModemLines{false, true}));

    watcher_.Stop();
    EXPECT_FALSE(watcher_.Watching());
    EXPECT_EQ(watcher_.Lines(), (ModemLines{false, false}));
}

TEST_F(ModemLineWatcherTest, BlockingWaitReportsChangesAndStopEndsItPromptly) {
    FakeLines lines(FakeLines::Mode::Block);
    lines.bits = 2;  // CD already high at the start: no event for it
    watcher_.Start(std::make_unique<FakeLineSource>(lines));
    EXPECT_TRUE(watcher_.Lines().cd);

    lines.Set(true, true);
    ASSERT_TRUE(WaitForEvents(1));
    EXPECT_EQ(seen_[0].event, CommEvent::DsrChange);
    EXPECT_EQ(seen_[0].linesAtEvent, (ModemLines{true, true}));

    // The worker now sits in a wait that nothing but a signal ends; Stop() must still return.
    watcher_.Stop();
    EXPECT_FALSE(watcher_.Watching());
    QCoreApplication::processEvents();
    EXPECT_EQ(seen_.size(), 1u);
}

TEST_F(ModemLineWatcherTest, LinesThatCannotBeReadStayLowWithoutAWatch) {
    FakeLines lines(FakeLines::Mode::Poll);
    lines.readable = false;
    watcher_.Start(std::make_unique<FakeLineSource>(lines));
    EXPECT_FALSE(watcher_.Watching());
    EXPECT_EQ(watcher_.Lines(), (ModemLines{false, false}));
    EXPECT_EQ(lines.reads, 1);  // one try, no retries

    // A device that goes away during the watch ends it quietly as well.
    FakeLines later(FakeLines::Mode::Poll);
    watcher_.Start(std::make_unique<FakeLineSource>(later));
    ASSERT_TRUE(watcher_.Watching());
    later.readable = false;
    later.bits = 3;
    ASSERT_TRUE(later.WaitForReads(1));
    watcher_.Stop();
    QCoreApplication::processEvents();
    EXPECT_TRUE(seen_.empty());
}

TEST_F(ModemLineWatcherTest, ChangesPendingWhenTheWatchStopsAreDropped) {
    FakeLines lines(FakeLines::Mode::Poll);
    watcher_.Start(std::make_unique<FakeLineSource>(lines));
    lines.Set(true, true);
    // Two reads after the change: the change has been posted but not yet handled.
    ASSERT_TRUE(lines.WaitForReads(2));
    watcher_.Stop();
    QCoreApplication::processEvents();
    EXPECT_TRUE(seen_.empty());
    EXPECT_FALSE(watcher_.Lines().dsr);
}

TEST_F(ModemLineWatcherTest, AHandlerThatStopsTheWatchGetsNothingMore) {
    FakeLines lines(FakeLines::Mode::Poll);
    watcher_.Start(std::make_unique<FakeLineSource>(lines));
    extra_ = [this](CommEvent) { watcher_.Stop(); };
    lines.Set(true, true);
    ASSERT_TRUE(WaitForEvents(1));
    QCoreApplication::processEvents();
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].event, CommEvent::DsrChange);
}

TEST(TtyModemLineSourceTest, PseudoTerminalHasNoLinesAndCannotWait) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(slave, 0);
    TtyModemLineSource source(slave);
    // Neither call may block or pretend: no lines to read, and the watcher must fall back.
    EXPECT_EQ(source.Read(), std::nullopt);
    EXPECT_EQ(source.WaitForChange(), ModemLineSource::WaitResult::Unsupported);
    ::close(master);
}

}  // namespace
}  // namespace vigiltron
