#include "alerts/ModemPager.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "sim/RecordingJournal.h"
#include "sim/ScriptedDialogs.h"
#include "sim/SimulatedModem.h"
#include "sim/SimulatedPortFactory.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

using std::chrono_literals::operator""ms;
using std::chrono_literals::operator""s;

const char kWarning[] = "Warning: The page did not go through.  Now closing the port.";

// A pager on virtual time whose modem hangs on COM4.
struct PagerRig {
    PagerRig() {
        ports.Attach(4, modem);
        prefs.NumToCall = "5551234";
    }

    VirtualEventLoop loop;
    SimulatedPortFactory ports{loop};
    std::shared_ptr<SimulatedModem> modem = std::make_shared<SimulatedModem>(loop);
    ScriptedDialogs dialogs;
    RecordingJournal journal;
    Preferences prefs;
    ViewModel view;
    int com = 4;
    ModemPager pager{
        ModemPager::Services{loop, ports, dialogs, journal, prefs, view, [this] { return com; }}};
};

TEST(ModemPagerTest, AFailedDialShowsItsMessageThenTheWarningAndHangsUp) {
    struct Case {
        ModemAnswer answer;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {ModemAnswer::Busy, {"Telephone Busy.  Try Again later", kWarning}},
        {ModemAnswer::Error, {"There was a modem error.  Check the number to dial.", kWarning}},
        {ModemAnswer::NoDialTone, {"No dial tone.", kWarning}},
        {ModemAnswer::Silent, {"No response.", kWarning}},
        // Not an answer the dialogue knows: every pass goes by, then the warning alone.
        {ModemAnswer::NoCarrier, {kWarning}},
    };
    for (const Case& c : cases) {
        PagerRig rig;
        rig.modem->SetAnswer(c.answer);
        const PageResult result = rig.pager.SendNumericPage(1, 1, false);
        const std::string name(ModemAnswerName(c.answer));

        EXPECT_FALSE(result.sent) << name;
        EXPECT_EQ(rig.dialogs.Messages(), c.messages) << name;
        EXPECT_EQ(rig.modem->Received(), "ATDT5551234,,,,,,,,,,;\rATH0\r") << name;
        EXPECT_FALSE(rig.modem->Connected()) << name << ": the port is closed at the end";
        EXPECT_FALSE(rig.pager.IsOpenOn(4)) << name;
        EXPECT_EQ(rig.view.contactSetup.modemConnectCaption, "Open Connection") << name;
        EXPECT_EQ(rig.view.busyDepth, 0) << name;
    }
}

TEST(ModemPagerTest, ANumericPageDialsSendsTheDigitsAndHangsUp) {
    PagerRig rig;
    rig.prefs.ModemInitString = "AT&F";
    rig.modem->SetEcho(true);  // a modem's echo is no answer
    rig.view.Row(1).reading = "72.5";

    const PageResult result = rig.pager.SendNumericPage(1, 1, false);

    EXPECT_TRUE(result.sent) << result.description;
    EXPECT_EQ(rig.modem->Received(), "AT&F\rATDT5551234,,,,,,,,,,;\rATDT72\rATH0\r");
    EXPECT_TRUE(rig.dialogs.Messages().empty());
    EXPECT_FALSE(rig.modem->Connected());
    EXPECT_FALSE(rig.modem->OffHook());
    // Nothing waits out its full time once the modem has answered.
    EXPECT_LT(rig.loop.Elapsed(), 1500ms + 15000ms);

    // The initialisation string's "OK" must not pass for the dial's: a busy line stays busy.
    rig.modem->ClearReceived();
    rig.modem->SetAnswer(ModemAnswer::Busy);
    EXPECT_FALSE(rig.pager.SendNumericPage(1, 1, false).sent);
    EXPECT_EQ(rig.modem->Received(), "AT&F\rATDT5551234,,,,,,,,,,;\rATH0\r");
    EXPECT_EQ(rig.dialogs.Messages(),
              (std::vector<std::string>{"Telephone Busy.  Try Again later", kWarning}));

    // Page digits the modem refuses.
    rig.dialogs.Clear();
    rig.modem->SetAnswer(ModemAnswer::Ok);
    rig.modem->SetDigitsAnswer(ModemAnswer::Error);
    EXPECT_FALSE(rig.pager.SendNumericPage(1, 1, false).sent);
    EXPECT_EQ(rig.dialogs.Messages(),
              (std::vector<std::string>{"There was a modem error.", kWarning}));
}

TEST(ModemPagerTest, PageDigitsAreTheNumberToSendOrTheReadingShown) {
    PagerRig rig;
    rig.prefs.NumToSend = " 911 ";
    rig.view.Row(2).reading = "72.5";
    EXPECT_EQ(rig.pager.PageDigits(2), "911");

    rig.prefs.NumToSend = " ";
    const std::pair<const char*, const char*> readings[] = {
        {"72.5", "72"},          {"123cm", "123"},          {"-5.5", "*5"},        {"999", "999"},
        {"OFF", "123-456-7890"}, {"Water", "123-456-7890"}, {" ", "123-456-7890"},
    };
    for (const auto& [reading, digits] : readings) {
        rig.view.Row(2).reading = reading;
        EXPECT_EQ(rig.pager.PageDigits(2), digits) << reading;
    }
}

TEST(ModemPagerTest, NothingIsDialledWithoutANumberOrAPort) {
    PagerRig rig;
    rig.prefs.NumToCall = " ";
    const int focusRequests = rig.view.contactSetup.focusRequests;

    const PageResult noNumber = rig.pager.SendNumericPage(1, 1, false);
    EXPECT_FALSE(noNumber.sent) << "nothing went out, so the caller must not count it as sent";
    ASSERT_EQ(rig.dialogs.History().size(), 1u);
    EXPECT_EQ(rig.dialogs.History()[0].text,
              "You must enter a number to dial before sending a page.");
    EXPECT_EQ(rig.dialogs.History()[0].icon, MessageIcon::Information);
    EXPECT_EQ(rig.view.contactSetup.focus, ContactSetupView::Focus::NumberToCall);
    EXPECT_EQ(rig.view.contactSetup.focusRequests, focusRequests + 1);
    EXPECT_FALSE(rig.pager.SendNumericPage(1, 1, true).sent) << "no phone number either";
    EXPECT_EQ(rig.modem->Received(), "");

    rig.dialogs.Clear();
    rig.prefs.NumToCall = "5551234";
    rig.com = 0;  // no port in the list
    EXPECT_FALSE(rig.pager.SendNumericPage(1, 1, false).sent);
    rig.com = 4;
    rig.modem->SetUnplugged(true);
    EXPECT_FALSE(rig.pager.SendNumericPage(1, 1, false).sent);
    EXPECT_EQ(rig.dialogs.Messages(),
              (std::vector<std::string>{"The port was not opened.", "The port was not opened."}));
    EXPECT_EQ(rig.modem->Received(), "");
}

TEST(ModemPagerTest, ThePhoneRouteRingsForItsFixedTimeAndWaitsForNoReply) {
    PagerRig rig;
    rig.prefs.NumToSendPhone = "555 9876";
    rig.modem->SetAnswer(ModemAnswer::Silent);
    int busyWhileRinging = -1;
    rig.loop.StartTimer(10s, [&] { busyWhileRinging = rig.view.busyDepth; });

    const PageResult result = rig.pager.SendNumericPage(3, 1, true);

    EXPECT_TRUE(result.sent);
    EXPECT_EQ(rig.loop.Elapsed(), 16500ms) << "1500 ms before dialling, then 15000 ms of ringing";
    EXPECT_EQ(busyWhileRinging, 1) << "the busy pointer shows while it rings";
    EXPECT_EQ(rig.view.busyDepth, 0);
    // Closing the port ends the call, so nothing is left for "ATH0".
    EXPECT_EQ(rig.modem->Received(), "ATDT555 9876,,,,,,,,,,;\r");
    EXPECT_FALSE(rig.modem->Connected());
    EXPECT_TRUE(rig.dialogs.Messages().empty());
}

TEST(ModemPagerTest, APageAskedForDuringAnotherIsRefusedAndTheFirstGoesOn) {
    PagerRig rig;
    std::optional<PageResult> second;
    rig.loop.StartTimer(2500ms, [&] {
        second = rig.pager.SendNumericPage(2, 1, false);
        rig.pager.ToggleConnection();  // the page owns the port
    });

    const PageResult first = rig.pager.SendNumericPage(1, 1, false);

    ASSERT_TRUE(second.has_value()) << "the window stays alive while the first page runs";
    EXPECT_FALSE(second->sent);
    EXPECT_TRUE(first.sent) << first.description;
    EXPECT_EQ(rig.modem->Received(), "ATDT5551234,,,,,,,,,,;\rATDT123-456-7890\rATH0\r");
    EXPECT_TRUE(rig.dialogs.Messages().empty());
}

}  // namespace
}  // namespace vigiltron
