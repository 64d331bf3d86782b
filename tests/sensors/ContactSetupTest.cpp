#include "alerts/ContactSetup.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "config/MemorySettingsTree.h"
#include "config/Preferences.h"
#include "core/ViewModel.h"
#include "sim/ScriptedDialogs.h"

namespace vigiltron {
namespace {

using Focus = ContactSetupView::Focus;

// Remembers every value saved, in order, as "section|key=value".
class RecordingSettings : public MemorySettingsTree {
public:
    void SaveSetting(const std::string& section, const std::string& key,
                     const std::string& value) override {
        saved.push_back(section + "|" + key + "=" + value);
        MemorySettingsTree::SaveSetting(section, key, value);
    }
    std::vector<std::string> saved;
};

class ContactSetupTest : public ::testing::Test {
protected:
    std::string Stored(const std::string& key, const char* section = "Program Setup") const {
        return settings.GetSetting(section, key, "<missing>");
    }

    Preferences prefs = Preferences::Defaults("/app");
    ViewModel view;
    ScriptedDialogs dialogs;
    RecordingSettings settings;
    std::set<int> openablePorts{3, 7, 12, 20};
    ContactSetup setup{ContactSetup::Services{
        prefs, view, dialogs, settings, [this](int com) { return openablePorts.count(com) > 0; }}};
    const ContactSetupView& v = view.contactSetup;
};

TEST_F(ContactSetupTest, PagingOkNeedsANumberToCallAndThenSavesNumbersAndModemPort) {
    prefs.IndexForModem = "9";  // a position the list no longer reaches
    setup.OpenPagingWindow();
    ASSERT_TRUE(v.pagingWindowVisible);
    EXPECT_EQ(v.modemPorts, (std::vector<int>{3, 7, 12})) << "COM1..COM19 only";
    EXPECT_EQ(v.modemPortPosition, 1);

    // The stored default " " is as empty as "": neither could be dialled.
    for (const char* blank : {"", " "}) {
        const int requests = v.focusRequests;
        EXPECT_FALSE(setup.SavePagingSettings({blank, "4321", "5550100"})) << '"' << blank << '"';
        EXPECT_EQ(dialogs.Messages().back(),
                  "You must first enter the number you wish to call before you send a page.");
        EXPECT_EQ(v.focus, Focus::NumberToCall);
        EXPECT_EQ(v.focusRequests, requests + 1);
    }
    EXPECT_TRUE(settings.saved.empty());
    EXPECT_EQ(prefs.NumToSend, " ");
    EXPECT_TRUE(v.pagingWindowVisible);

    setup.SelectModemPort(3);
    setup.SelectModemPort(4);  // beyond the list: ignored
    EXPECT_EQ(v.modemPortPosition, 3);
    dialogs.Clear();
    EXPECT_TRUE(setup.SavePagingSettings({"5551234", "4321", "5550100"}));
    EXPECT_TRUE(dialogs.History().empty());
    EXPECT_EQ(settings.saved,
              (std::vector<std::string>{
                  "Program Setup|NumToCall=5551234", "Program Setup|NumToSend=4321",
                  "Program Setup|NumToSendPhone=5550100", "Program Setup|IndexForModem=3"}));
    EXPECT_EQ(prefs.NumToCall, "5551234");
    EXPECT_EQ(prefs.IndexForModem, "3");
    EXPECT_FALSE(v.pagingWindowVisible);

    // Opening again selects the stored port, and with no port left the stored choice is kept.
    setup.OpenPagingWindow();
    EXPECT_EQ(v.modemPortPosition, 3);
    openablePorts.clear();
    setup.OpenPagingWindow();
    EXPECT_TRUE(v.modemPorts.empty());
    EXPECT_EQ(v.modemPortPosition, 0);
    EXPECT_TRUE(setup.SavePagingSettings({"5551234", "", ""}));
    EXPECT_EQ(Stored("IndexForModem"), "3");
}

TEST_F(ContactSetupTest, ClosingPagingWithoutANumberTurnsOffEveryPageSwitch) {
    for (int family : kAlertFamilies) {
        prefs.chkPageAlert[family] = true;
    }
    prefs.chkPageOnProx = true;
    setup.OpenPagingWindow();
    setup.ClosePagingWindow();
    EXPECT_FALSE(v.pagingWindowVisible);
    ASSERT_EQ(dialogs.History().size(), 1u);
    EXPECT_EQ(dialogs.History()[0].text, "A number to dial was not filled in.");
    EXPECT_EQ(dialogs.History()[0].icon, MessageIcon::Information);
    for (const char* key : {"chkPageAlert1", "chkPageAlert2", "chkPageAlert6", "chkPageAlert8",
                            "chkPageAlert9", "chkPageAlert0"}) {
        EXPECT_EQ(Stored(key), "0") << key;
    }
    for (int family : kAlertFamilies) {
        EXPECT_FALSE(prefs.chkPageAlert[family]) << family;
    }
    EXPECT_TRUE(prefs.chkPageOnProx) << "only the families' switches";

    // With a number in force, closing changes nothing.
    prefs.NumToCall = "5551234";
    prefs.chkPageAlert[6] = true;
    dialogs.Clear();
    settings.saved.clear();
    setup.OpenPagingWindow();
    setup.ClosePagingWindow();
    EXPECT_TRUE(dialogs.History().empty());
    EXPECT_TRUE(settings.saved.empty());
    EXPECT_TRUE(prefs.chkPageAlert[6]);
}

TEST_F(ContactSetupTest, EmailOkSavesEveryFieldUnderItsKeyInOrderAndHides) {
    setup.OpenEmailWindow();
    EmailSettings typed;
    typed.EmailAddress = "ops@example.com";
    typed.CCEmailAddress = "";
    typed.IncludeTimeDate = false;
    typed.IncludeReading = true;
    typed.IncludeName = false;
    typed.IncludeInSubject = true;
    typed.SMTPHostServer = "smtp.example.com";
    typed.SMTPUserName = "monitor";
    typed.SMTPUserPassword = "s3cret";
    typed.SMTPFromEmailAddress = "vigiltron@example.com";
    setup.SaveEmailSettings(typed);

    EXPECT_EQ(settings.saved, (std::vector<std::string>{
                                  "Program Setup|EmailAddress=ops@example.com",
                                  "Program Setup|CCEmailAddress=",
                                  "Program Setup|IncludeTimeDate=0",
                                  "Program Setup|IncludeReading=1",
                                  "Program Setup|IncludeName=0",
                                  "Program Setup|IncludeInSubject=1",
                                  "Program Setup|SMTPHostServer=smtp.example.com",
                                  "Program Setup|SMTPUserName=monitor",
                                  "Program Setup|SMTPUserPassword=s3cret",
                                  "Program Setup|SMTPFromEmailAddress=vigiltron@example.com",
                              }));
    EXPECT_EQ(prefs.EmailAddress, "ops@example.com");
    EXPECT_FALSE(prefs.IncludeTimeDate);
    EXPECT_EQ(prefs.SMTPUserPassword, "s3cret");
    EXPECT_FALSE(v.emailWindowVisible);
    EXPECT_TRUE(dialogs.History().empty());
}

TEST_F(ContactSetupTest, AuthenticationAndRouteChoicesAreSavedAtOnce) {
    setup.OpenEmailWindow();
    EXPECT_FALSE(v.emailCredentialsEnabled);
    const int requests = v.focusRequests;

    setup.SetAuthenticationRequired(true);
    EXPECT_EQ(Stored("chkAuthenticationReq"), "1");
    EXPECT_TRUE(prefs.chkAuthenticationReq);
    EXPECT_TRUE(v.emailCredentialsEnabled);
    EXPECT_EQ(v.focus, Focus::SmtpUserName);
    EXPECT_EQ(v.focusRequests, requests + 1);

    setup.SetAuthenticationRequired(false);
    EXPECT_EQ(Stored("chkAuthenticationReq"), "0");
    EXPECT_FALSE(v.emailCredentialsEnabled);
    EXPECT_EQ(v.focusRequests, requests + 1) << "switching off moves no focus";

    // A stored switch makes the fields usable when the window opens.
    prefs.chkAuthenticationReq = true;
    setup.OpenEmailWindow();
    EXPECT_TRUE(v.emailCredentialsEnabled);

    setup.ChooseMailRoute(false);
    EXPECT_EQ(Stored("optUseSMTP"), "0");
    EXPECT_FALSE(prefs.optUseSMTP);

    // Two switches carry the three page routes.
    const std::pair<PageRoute, std::pair<const char*, const char*>> routes[] = {
        {PageRoute::Phone, {"0", "1"}},
        {PageRoute::Numeric, {"1", "0"}},
        {PageRoute::AlphaNumeric, {"0", "0"}}};
    for (const auto& [route, stored] : routes) {
        setup.ChoosePageRoute(route);
        EXPECT_EQ(Stored("optionNumeric"), stored.first);
        EXPECT_EQ(Stored("optionPhone"), stored.second);
    }
}

TEST_F(ContactSetupTest, StatusListIsEmptiedWhenTheThousandAndFirstLineArrives) {
    for (int i = 1; i <= 1000; ++i) {
        setup.AddEmailStatus("line " + std::to_string(i));
    }
    ASSERT_EQ(v.emailStatus.size(), 1000u);
    EXPECT_EQ(v.emailStatus.front(), "line 1");
    const auto clears = v.emailStatusClears;

    setup.AddEmailStatus("line 1001");
    EXPECT_EQ(v.emailStatus, (std::vector<std::string>{"line 1001"}));
    EXPECT_EQ(v.emailStatusClears, clears + 1);

    setup.ClearEmailStatus();
    EXPECT_TRUE(v.emailStatus.empty());
    EXPECT_EQ(v.emailStatusClears, clears + 2);
}

TEST_F(ContactSetupTest, InitStringIsSavedOnlyWhenOneIsGiven) {
    dialogs.QueueText(std::nullopt);
    setup.SetInitString();
    dialogs.QueueText("   ");
    setup.SetInitString();
    EXPECT_EQ(Stored("ModemInitString"), "<missing>");
    ASSERT_FALSE(dialogs.History().empty());
    EXPECT_EQ(dialogs.History().back().kind, ScriptedDialogs::Shown::Kind::Prompt);
    EXPECT_EQ(dialogs.History().back().text,
              "Enter the modem initialization string required for your modem");

    dialogs.QueueText("AT&F E0 V1");
    setup.SetInitString();
    EXPECT_EQ(Stored("ModemInitString"), "AT&F E0 V1");
    EXPECT_EQ(prefs.ModemInitString, "AT&F E0 V1");
}

TEST_F(ContactSetupTest, RemoteMonitoringOkSavesEveryKeyAndRefusesAnIntervalThatNeverComes) {
    setup.OpenRemoteMonitoringWindow();
    RemoteMonitoringSettings typed;
    typed.ServerName = "ftp.example.com";
    typed.UserName = "web";
    typed.pw = "hunter2";
    typed.RemoteDirectory = "vigiltron";
    typed.SeeMessages = true;
    typed.optStayConnected = false;
    typed.txtTitleForUpdatePage = "Server room";
    typed.txtXMLDirectory = "/srv/www";
    typed.UseDirectory = true;
    typed.AutoStartIUE = false;

    // An interval the minute count never reaches would leave the page unsent for ever.
    for (const char* interval : {"", "0", "-5", "abc", "2.5", "99999"}) {
        typed.InternetInterval = interval;
        EXPECT_FALSE(setup.SaveRemoteMonitoring(typed)) << '"' << interval << '"';
        EXPECT_EQ(v.focus, Focus::InternetInterval);
    }
    EXPECT_EQ(dialogs.Messages().back(),
              "The update interval must be a whole number of minutes from 1 to 10080.");
    EXPECT_TRUE(settings.saved.empty());
    EXPECT_TRUE(v.remoteMonitoringWindowVisible);

    typed.InternetInterval = " 15 ";
    EXPECT_TRUE(setup.SaveRemoteMonitoring(typed));
    const char* section = "Program Setup\\Internet Setup";
    const std::pair<const char*, const char*> expected[] = {
        {"ServerName", "ftp.example.com"},
        {"UserName", "web"},
        {"pw", "hunter2"},
        {"RemoteDirectory", "vigiltron"},
        {"InternetInterval", "15"},
        {"SeeMessages", "1"},
        {"optStayConnected", "False"},
        {"optConnectBeforeSend", "True"},
        {"txtTitleForUpdatePage", "Server room"},
        {"txtXMLDirectory", "/srv/www"},
        {"UseDirectory", "1"},
        {"AutoStartIUE", "0"},
    };
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(Stored(key, section), value) << key;
    }
    EXPECT_EQ(settings.saved.size(), std::size(expected));
    EXPECT_TRUE(prefs.optConnectBeforeSend);
    EXPECT_EQ(prefs.InternetInterval, "15");
    EXPECT_FALSE(v.remoteMonitoringWindowVisible);
}

}  // namespace
}  // namespace vigiltron
