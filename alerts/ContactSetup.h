#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/ContactSetupView.h"

namespace vigiltron {

class Dialogs;
class SettingsTree;
class ViewModel;
struct Preferences;

// What the e-mail window's OK hands over: the boxes as the user left them.
struct EmailSettings {
    std::string EmailAddress;
    std::string CCEmailAddress;
    bool IncludeTimeDate = true;
    bool IncludeReading = true;
    bool IncludeName = true;
    bool IncludeInSubject = true;
    std::string SMTPHostServer;
    std::string SMTPUserName;
    std::string SMTPUserPassword;
    std::string SMTPFromEmailAddress;
};

// What the paging window's "&Ok" hands over; the modem port is the one selected in the view.
struct PagingSettings {
    std::string NumToCall;
    std::string NumToSend;
    std::string NumToSendPhone;
};

// The page route options. Two stored switches carry three choices: `optionNumeric` for the
// numerical pager, `optionPhone` for the caller-ID call, neither for the alpha-numerical pager.
enum class PageRoute { Numeric, AlphaNumeric, Phone };

// What the remote-monitoring window's OK hands over.
struct RemoteMonitoringSettings {
    std::string ServerName;
    std::string UserName;
    std::string pw;
    std::string RemoteDirectory;
    std::string InternetInterval;
    bool SeeMessages = false;
    bool optStayConnected = false;  // false: "Do not stay connected" (log in before each send)
    std::string txtTitleForUpdatePage;
    std::string txtXMLDirectory;
    bool UseDirectory = false;
    bool AutoStartIUE = false;
};

// The rules of the e-mail, paging and remote-monitoring setup windows: the windows forward what
// the user does, these commands change the preferences, save them and tell the view what to show.
// Passwords are saved as entered but never shown, journaled or put in the view.
class ContactSetup {
public:
    struct Services {
        Preferences& prefs;
        ViewModel& view;
        Dialogs& dialogs;
        SettingsTree& settings;
        // Whether COM n can be opened now (one open attempt, closed at once).
        std::function<bool(int)> portAvailable;
        // Saves a password ("SMTPUserPassword", "pw") where passwords are kept; when empty, the
        // password is saved in the settings tree like any other value.
        std::function<void(const std::string& key, const std::string& value)> savePassword;
        // Where passwords are kept, in the words the windows show under the password boxes.
        std::function<std::string()> passwordStorage;
    };

    // The modem's port list covers COM1..COM19.
    static constexpr int kModemPorts = 19;
    // The status list is emptied when a line arrives and it already holds this many.
    static constexpr std::size_t kEmailStatusLimit = 1000;
    // The longest remote-monitoring update interval, in minutes: one week.
    static constexpr int kMaxInternetInterval = 10080;

    explicit ContactSetup(Services services);

    // ---- E-mail window ----
    void OpenEmailWindow();
    void CloseEmailWindow();
    // The route: SMTP (true) or the system's mail client (false); saved at once.
    void ChooseMailRoute(bool smtp);
    // "Check if this SMTP server requires authentication": saved at once; the user name and
    // password become usable (and the user name takes the focus) or unusable.
    void SetAuthenticationRequired(bool required);
    // OK: saves recipient, copy recipient, the four include switches, server, user name,
    // password and sender, in that order, and hides the window.
    void SaveEmailSettings(const EmailSettings& settings);
    // A progress text of the mail component, and "Clear Log".
    void AddEmailStatus(const std::string& text);
    void ClearEmailStatus();

    // ---- Paging window ----
    // Lists the ports a modem can be opened on and selects the stored position (the first entry
    // when the list no longer reaches it).
    void OpenPagingWindow();
    // Closing the window: with no number to call the page switches of every family go off,
    // since no page could go out.
    void ClosePagingWindow();
    void ChoosePageRoute(PageRoute route);
    // A port chosen in the list, by its 1-based position.
    void SelectModemPort(int position);
    // The modem's COM number: the one selected in the paging window while it is open, else the
    // stored position in the list of ports available now (the first when the list no longer
    // reaches it). 0 when no port can be opened.
    int ModemComNumber();
    // "&Ok": refused, saving nothing, while the number to call is blank; otherwise saves the
    // numbers and the modem's position and hides the window.
    bool SavePagingSettings(const PagingSettings& settings);
    // "Set Init String": asks for the modem initialisation string and saves a non-blank answer.
    void SetInitString();

    // ---- Remote monitoring window ----
    void OpenRemoteMonitoringWindow();
    void CloseRemoteMonitoringWindow();
    // OK: refused while the interval is not a whole number of minutes from 1 to
    // kMaxInternetInterval;
    // otherwise saves every value under "Program Setup\Internet Setup" and hides the window
    // (unless `keepOpen`: the login takes what the window shows).
    bool SaveRemoteMonitoring(const RemoteMonitoringSettings& settings, bool keepOpen = false);

private:
    void SaveProgramSetup(const std::string& key, const std::string& value);
    void SaveInternetSetup(const std::string& key, const std::string& value);
    void SavePassword(const char* section, const std::string& key, const std::string& value);
    void ShowPasswordStorage();
    void RequestFocus(ContactSetupView::Focus focus);
    std::vector<int> AvailableModemPorts() const;
    // The stored modem position within a list of `count` ports: the first entry when the list
    // no longer reaches it, 0 for an empty list.
    int StoredModemPosition(int count) const;

    Services s_;
};

}  // namespace vigiltron
