// The paging window's modem commands and the alarm page, through the wired engine and a
// simulated modem.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/ContactWindowsWiring.h"
#include "app/EngineTestRig.h"
#include "sim/SimulatedModem.h"

namespace vigiltron {
namespace {

class PagingCommandsTest : public ::testing::Test, public EngineTestRig {
protected:
    PagingCommandsTest() : EngineTestRig(LocalDateTime{2026, 12, 7, 9, 0, 0, 0}) {
        ports.Attach(4, modem);
        dialogs.QueueYesNo(false);  // no device scan on this first run
        commands = ContactWindowsCommandsFor(Start());
        dialogs.Clear();
    }

    const ContactSetupView& View() const { return engine->view.contactSetup; }

    std::shared_ptr<SimulatedModem> modem = std::make_shared<SimulatedModem>(loop);
    ContactWindowsCommands commands;
};

TEST_F(PagingCommandsTest, TestButtonsAndTheConnectionToggleDriveTheModemOnTheSelectedPort) {
    commands.openPagingSetup();
    ASSERT_EQ(View().modemPorts, std::vector<int>{4});
    commands.paging.save({"5551234", " ", "5559876"});
    ASSERT_FALSE(View().pagingWindowVisible);

    // "Open Connection" holds the port; the list still offers it while it is ours.
    commands.paging.toggleConnection();
    EXPECT_EQ(View().modemConnectCaption, "Close port");
    EXPECT_TRUE(modem->Connected());
    commands.openPagingSetup();
    EXPECT_EQ(View().modemPorts, std::vector<int>{4});
    EXPECT_EQ(View().modemPortPosition, 1);

    // The numeric test uses the open port and closes it when done. Nothing is connected on
    // setup index 1, so its reading "OFF" gives the fixed digits.
    commands.paging.numericPagerTest();
    EXPECT_EQ(modem->Received(), "ATDT5551234,,,,,,,,,,;\rATDT123-456-7890\rATH0\r");
    EXPECT_TRUE(dialogs.Messages().empty()) << dialogs.Messages().front();
    EXPECT_FALSE(modem->Connected());
    EXPECT_EQ(View().modemConnectCaption, "Open Connection");

    modem->ClearReceived();
    commands.paging.phoneCallTest();
    EXPECT_EQ(modem->Received(), "ATDT5559876,,,,,,,,,,;\r");
    EXPECT_FALSE(modem->Connected());

    // An alarm's page that meets a busy line is reported on the sensor slot's log.
    modem->SetAnswer(ModemAnswer::Busy);
    commands.paging.choosePageRoute(PageRoute::Numeric);
    EXPECT_FALSE(engine->alerts.SendAlertPage(AlertSource::Temperature, 1, 1, 1, false));
    EXPECT_EQ(engine->view.Slot(Tab::Temperature, 1).log.front(), "Page Alert Not sent");
    EXPECT_EQ(
        dialogs.Messages(),
        (std::vector<std::string>{"Telephone Busy.  Try Again later",
                                  "Warning: The page did not go through.  Now closing the port."}));

    // A modem pulled out while its port is held open shows the port closed.
    commands.paging.toggleConnection();
    ASSERT_EQ(View().modemConnectCaption, "Close port");
    ports.Detach(4);
    loop.RunFor(std::chrono::milliseconds(10));
    EXPECT_EQ(View().modemConnectCaption, "Open Connection");

    // Without a modem on any port, the toggle says so and stays as it was.
    commands.paging.close();
    dialogs.Clear();
    commands.paging.toggleConnection();
    EXPECT_EQ(dialogs.Messages(), std::vector<std::string>{"This port is not open."});
    EXPECT_EQ(View().modemConnectCaption, "Open Connection");
}

}  // namespace
}  // namespace vigiltron
