#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>

#include <gtest/gtest.h>

#include "app/ContactWindowsWiring.h"
#include "app/EngineTestRig.h"
#include "sim/SimulatedSensor.h"
#include "ui/EmailSetupWindow.h"
#include "ui/PagingSetupWindow.h"
#include "ui/RemoteMonitoringWindow.h"

namespace vigiltron {
namespace {

// Lets queued work (the windows' coalesced refresh) run, without waiting on the clock.
void Pump() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
    }
}

// Every window must be usable on a 1024x768 screen.
void ExpectFitsSmallScreen(const QWidget* window) {
    EXPECT_LE(window->sizeHint().width(), 1024) << window->objectName().toStdString();
    EXPECT_LE(window->sizeHint().height(), 768) << window->objectName().toStdString();
}

void Retype(QLineEdit* box, const QString& text) {
    box->clear();
    QTest::keyClicks(box, text);
}

// The real engine on simulated ports and in-memory settings, with the three windows wired to it
// as the program wires them.
class ContactWindowsTest : public ::testing::Test, public EngineTestRig {
protected:
    ContactWindowsTest() : EngineTestRig(LocalDateTime{2026, 12, 7, 9, 0, 0, 0}) {
        // A modem on COM4 is the one port that can be opened.
        ports.Attach(4, std::make_shared<SimulatedSensor>(loop, SensorKind::Temperature));
        dialogs.QueueYesNo(false);  // no device scan on this first run
        Engine& e = Start();
        commands = ContactWindowsCommandsFor(e);
        email = std::make_unique<EmailSetupWindow>(e.view, e.prefs, commands.email);
        paging = std::make_unique<PagingSetupWindow>(e.view, e.prefs, commands.paging);
        remote =
            std::make_unique<RemoteMonitoringWindow>(e.view, e.prefs, commands.remoteMonitoring);
        Pump();
        dialogs.Clear();
    }

    std::string Stored(const std::string& key, const std::string& section = "Program Setup") const {
        return settings.GetSetting(section, key, "<missing>");
    }

    ContactWindowsCommands commands;
    std::unique_ptr<EmailSetupWindow> email;
    std::unique_ptr<PagingSetupWindow> paging;
    std::unique_ptr<RemoteMonitoringWindow> remote;
};

TEST_F(ContactWindowsTest, PagingWindowNeedsANumberToCallBeforeItSavesOrLetsPagesOn) {
    EXPECT_FALSE(paging->isVisible());
    commands.openPagingSetup();
    Pump();
    ASSERT_TRUE(paging->isVisible());
    ExpectFitsSmallScreen(paging.get());
    EXPECT_EQ(paging->windowTitle(), "Paging Setup");
    ASSERT_EQ(paging->ModemPortList()->count(), 1);
    EXPECT_EQ(paging->ModemPortList()->itemText(0), "COM4");
    EXPECT_TRUE(paging->AlphaNumericOption()->isChecked()) << "neither switch stored";
    for (QPushButton* modemButton : {paging->InitStringButton(), paging->ConnectionButton(),
                                     paging->NumericTestButton(), paging->PhoneTestButton()}) {
        EXPECT_TRUE(modemButton->isVisible()) << modemButton->objectName().toStdString();
    }
    EXPECT_EQ(paging->ConnectionButton()->text(), "Op&en Connection");

    // The stored " " is no number: "&Ok" says so, keeps the window and saves nothing.
    EXPECT_EQ(paging->NumberToCallBox()->text(), " ");
    Retype(paging->NumberToSendBox(), "911");
    QTest::mouseClick(paging->OkButton(), Qt::LeftButton);
    Pump();
    EXPECT_EQ(dialogs.Messages(),
              std::vector<std::string>{
                  "You must first enter the number you wish to call before you send a page."});
    EXPECT_TRUE(paging->isVisible());
    EXPECT_EQ(paging->NumberToSendBox()->text(), "911") << "what was typed stays";
    for (const char* key : {"NumToCall", "NumToSend", "NumToSendPhone", "IndexForModem"}) {
        EXPECT_EQ(Stored(key), "<missing>") << key;
    }

    // Closing by the title bar with no number turns the page switches off.
    engine->prefs.chkPageAlert[1] = true;
    paging->close();
    Pump();
    EXPECT_FALSE(paging->isVisible());
    EXPECT_EQ(dialogs.Messages().back(), "A number to dial was not filled in.");
    EXPECT_FALSE(engine->prefs.chkPageAlert[1]);
    EXPECT_EQ(Stored("chkPageAlert1"), "0");

    // A route option is saved as it is chosen; "&Ok" with a number saves and hides.
    commands.openPagingSetup();
    Pump();
    paging->NumericOption()->click();
    EXPECT_EQ(Stored("optionNumeric"), "1");
    Retype(paging->NumberToCallBox(), "5551234");
    QTest::mouseClick(paging->OkButton(), Qt::LeftButton);
    Pump();
    EXPECT_FALSE(paging->isVisible());
    EXPECT_EQ(Stored("NumToCall"), "5551234");
    EXPECT_EQ(Stored("NumToSend"), " ") << "the box was filled anew when the window opened";
    EXPECT_EQ(Stored("IndexForModem"), "1");
}

TEST_F(ContactWindowsTest, EmailWindowAuthenticationBoxEnablesCredentialsAndOkSavesTheBoxes) {
    engine->prefs.SMTPUserPassword = "s3cret";
    commands.openEmailSetup();
    Pump();
    ASSERT_TRUE(email->isVisible());
    ExpectFitsSmallScreen(email.get());
    EXPECT_TRUE(email->SmtpOption()->isChecked());
    EXPECT_EQ(email->PasswordBox()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(email->PasswordBox()->text(), "s3cret");
    EXPECT_FALSE(email->PasswordBox()->displayText().contains("s3cret"));
    for (QWidget* credential :
         std::initializer_list<QWidget*>{email->UserNameLabel(), email->UserNameBox(),
                                         email->PasswordLabel(), email->PasswordBox()}) {
        EXPECT_FALSE(credential->isEnabled());
    }

    QTest::mouseClick(email->AuthenticationBox(), Qt::LeftButton);
    Pump();
    EXPECT_EQ(Stored("chkAuthenticationReq"), "1");
    for (QWidget* credential :
         std::initializer_list<QWidget*>{email->UserNameLabel(), email->UserNameBox(),
                                         email->PasswordLabel(), email->PasswordBox()}) {
        EXPECT_TRUE(credential->isEnabled());
    }
    EXPECT_EQ(email->focusWidget(), email->UserNameBox());

    email->MailClientOption()->click();
    EXPECT_EQ(Stored("optUseSMTP"), "0");

    // Status lines arrive from the program; "Clear Log" empties the list.
    engine->contactSetup.AddEmailStatus("Connecting to smtp.example.com");
    engine->contactSetup.AddEmailStatus("Message sent");
    Pump();
    ASSERT_EQ(email->StatusList()->count(), 2);
    EXPECT_EQ(email->StatusList()->item(1)->text(), "Message sent");
    QTest::mouseClick(email->ClearLogButton(), Qt::LeftButton);
    Pump();
    EXPECT_EQ(email->StatusList()->count(), 0);

    Retype(email->RecipientBox(), "ops@example.com");
    Retype(email->UserNameBox(), "monitor");
    email->IncludeNameBox()->click();
    QTest::mouseClick(email->OkButton(), Qt::LeftButton);
    Pump();
    EXPECT_FALSE(email->isVisible());
    EXPECT_EQ(Stored("EmailAddress"), "ops@example.com");
    EXPECT_EQ(Stored("SMTPUserName"), "monitor");
    EXPECT_EQ(Stored("SMTPUserPassword"), "s3cret");
    EXPECT_EQ(Stored("IncludeName"), "0");
    EXPECT_EQ(Stored("IncludeReading"), "1");
}

TEST_F(ContactWindowsTest, RemoteMonitoringWindowRefusesAnIntervalThatNeverComes) {
    commands.openRemoteMonitoring();
    Pump();
    ASSERT_TRUE(remote->isVisible());
    ExpectFitsSmallScreen(remote.get());
    EXPECT_EQ(remote->RemoteDirectoryBox()->text(), "vigiltron");
    EXPECT_EQ(remote->IntervalBox()->text(), "10");
    EXPECT_TRUE(remote->ConnectBeforeSendOption()->isChecked());
    EXPECT_EQ(remote->PasswordBox()->echoMode(), QLineEdit::Password);

    Retype(remote->ServerBox(), "ftp.example.com");
    Retype(remote->PasswordBox(), "hunter2");
    Retype(remote->IntervalBox(), "0");
    QTest::mouseClick(remote->OkButton(), Qt::LeftButton);
    Pump();
    EXPECT_TRUE(remote->isVisible());
    EXPECT_EQ(Stored("ServerName", "Program Setup\\Internet Setup"), "<missing>");

    Retype(remote->IntervalBox(), "5");
    remote->StayConnectedOption()->click();
    QTest::mouseClick(remote->OkButton(), Qt::LeftButton);
    Pump();
    EXPECT_FALSE(remote->isVisible());
    EXPECT_EQ(Stored("ServerName", "Program Setup\\Internet Setup"), "ftp.example.com");
    EXPECT_EQ(Stored("pw", "Program Setup\\Internet Setup"), "hunter2");
    EXPECT_EQ(Stored("InternetInterval", "Program Setup\\Internet Setup"), "5");
    EXPECT_EQ(Stored("optStayConnected", "Program Setup\\Internet Setup"), "True");

    // "Login" takes what the window shows, without closing it: the user need not press OK and
    // open the window again first.
    commands.openRemoteMonitoring();
    Pump();
    Retype(remote->ServerBox(), "ftp.example.net");
    Retype(remote->UserNameBox(), "publisher");
    QTest::mouseClick(remote->LoginButton(), Qt::LeftButton);
    Pump();
    EXPECT_TRUE(remote->isVisible());
    EXPECT_EQ(Stored("ServerName", "Program Setup\\Internet Setup"), "ftp.example.net");
    EXPECT_EQ(Stored("UserName", "Program Setup\\Internet Setup"), "publisher");
}

}  // namespace
}  // namespace vigiltron
