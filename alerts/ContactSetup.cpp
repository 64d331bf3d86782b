#include "alerts/ContactSetup.h"

#include <charconv>
#include <exception>
#include <optional>
#include <utility>

#include "config/Preferences.h"
#include "core/Dialogs.h"
#include "core/LooseText.h"
#include "core/SettingsTree.h"
#include "core/ViewModel.h"

namespace vigiltron {

namespace {

constexpr const char* kProgramSetup = "Program Setup";
constexpr const char* kInternetSetup = "Program Setup\\Internet Setup";
using Focus = ContactSetupView::Focus;

// A number made of blanks only is as good as none: the modem would dial nothing at all.
bool IsBlank(const std::string& text) {
    return Trim(text).empty();
}

// Whether the text is a whole number of minutes from 1 to `maximum`, blanks around it allowed.
bool IsValidInterval(const std::string& text, int maximum) {
    const std::string_view trimmed = Trim(text);
    int minutes = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [stop, error] = std::from_chars(trimmed.data(), end, minutes);
    return !trimmed.empty() && error == std::errc() && stop == end && minutes >= 1 &&
           minutes <= maximum;
}

}  // namespace

ContactSetup::ContactSetup(Services services) : s_(std::move(services)) {}

void ContactSetup::SaveProgramSetup(const std::string& key, const std::string& value) {
    s_.settings.SaveSetting(kProgramSetup, key, value);
}

void ContactSetup::SaveInternetSetup(const std::string& key, const std::string& value) {
    s_.settings.SaveSetting(kInternetSetup, key, value);
}

void ContactSetup::SavePassword(const char* section, const std::string& key,
                                const std::string& value) {
    if (s_.savePassword) {
        s_.savePassword(key, value);
    } else {
        s_.settings.SaveSetting(section, key, value);
    }
}

void ContactSetup::ShowPasswordStorage() {
    s_.view.contactSetup.passwordStorage = s_.passwordStorage ? s_.passwordStorage() : "";
}

void ContactSetup::RequestFocus(Focus focus) {
    s_.view.contactSetup.focus = focus;
    ++s_.view.contactSetup.focusRequests;
}

// ---- E-mail window ----

void ContactSetup::OpenEmailWindow() {
    ContactSetupView& v = s_.view.contactSetup;
    v.emailCredentialsEnabled = s_.prefs.chkAuthenticationReq;
    ShowPasswordStorage();
    v.emailWindowVisible = true;
    s_.view.Changed();
}

void ContactSetup::CloseEmailWindow() {
    s_.view.contactSetup.emailWindowVisible = false;
    s_.view.Changed();
}

void ContactSetup::ChooseMailRoute(bool smtp) {
    s_.prefs.optUseSMTP = smtp;
    SaveProgramSetup("optUseSMTP", OneZero(smtp));
    s_.view.Changed();
}

void ContactSetup::SetAuthenticationRequired(bool required) {
    s_.prefs.chkAuthenticationReq = required;
    SaveProgramSetup("chkAuthenticationReq", OneZero(required));
    s_.view.contactSetup.emailCredentialsEnabled = required;
    if (required) {
        RequestFocus(Focus::SmtpUserName);
    }
    s_.view.Changed();
}

void ContactSetup::SaveEmailSettings(const EmailSettings& settings) {
    Preferences& p = s_.prefs;
    try {
        p.EmailAddress = settings.EmailAddress;
        p.CCEmailAddress = settings.CCEmailAddress;
        p.IncludeTimeDate = settings.IncludeTimeDate;
        p.IncludeReading = settings.IncludeReading;
        p.IncludeName = settings.IncludeName;
        p.IncludeInSubject = settings.IncludeInSubject;
        p.SMTPHostServer = settings.SMTPHostServer;
        p.SMTPUserName = settings.SMTPUserName;
        p.SMTPUserPassword = settings.SMTPUserPassword;
        p.SMTPFromEmailAddress = settings.SMTPFromEmailAddress;
        SaveProgramSetup("EmailAddress", p.EmailAddress);
        SaveProgramSetup("CCEmailAddress", p.CCEmailAddress);
        SaveProgramSetup("IncludeTimeDate", OneZero(p.IncludeTimeDate));
        SaveProgramSetup("IncludeReading", OneZero(p.IncludeReading));
        SaveProgramSetup("IncludeName", OneZero(p.IncludeName));
        SaveProgramSetup("IncludeInSubject", OneZero(p.IncludeInSubject));
        SaveProgramSetup("SMTPHostServer", p.SMTPHostServer);
        SaveProgramSetup("SMTPUserName", p.SMTPUserName);
        SavePassword(kProgramSetup, "SMTPUserPassword", p.SMTPUserPassword);
        SaveProgramSetup("SMTPFromEmailAddress", p.SMTPFromEmailAddress);
    } catch (const std::exception& failure) {
        // The window stays open so that nothing typed is lost.
        s_.dialogs.ShowMessage(std::string("Error in cmdOK_Click: ") + failure.what());
        s_.view.Changed();
        return;
    }
    s_.view.contactSetup.emailWindowVisible = false;
    s_.view.Changed();
}

void ContactSetup::AddEmailStatus(const std::string& text) {
    ContactSetupView& v = s_.view.contactSetup;
    if (v.emailStatus.size() >= kEmailStatusLimit) {
        v.emailStatus.clear();
        ++v.emailStatusClears;
    }
    v.emailStatus.push_back(text);
    s_.view.Changed();
}

void ContactSetup::ClearEmailStatus() {
    ContactSetupView& v = s_.view.contactSetup;
    v.emailStatus.clear();
    ++v.emailStatusClears;
    s_.view.Changed();
}

// ---- Paging window ----

std::vector<int> ContactSetup::AvailableModemPorts() const {
    std::vector<int> ports;
    for (int com = 1; com <= kModemPorts; ++com) {
        if (s_.portAvailable && s_.portAvailable(com)) {
            ports.push_back(com);
        }
    }
    return ports;
}

int ContactSetup::StoredModemPosition(int count) const {
    const int stored = LeadingWholeNumber(s_.prefs.IndexForModem);
    return stored >= 1 && stored <= count ? stored : (count > 0 ? 1 : 0);
}

void ContactSetup::OpenPagingWindow() {
    ContactSetupView& v = s_.view.contactSetup;
    v.modemPorts = AvailableModemPorts();
    v.modemPortPosition = StoredModemPosition(int(v.modemPorts.size()));
    v.pagingWindowVisible = true;
    s_.view.Changed();
}

int ContactSetup::ModemComNumber() {
    const ContactSetupView& v = s_.view.contactSetup;
    if (v.pagingWindowVisible) {
        const int position = v.modemPortPosition;
        return position >= 1 && position <= int(v.modemPorts.size()) ? v.modemPorts[position - 1]
                                                                     : 0;
    }
    const std::vector<int> ports = AvailableModemPorts();
    const int position = StoredModemPosition(int(ports.size()));
    return position >= 1 ? ports[position - 1] : 0;
}

void ContactSetup::ClosePagingWindow() {
    Preferences& p = s_.prefs;
    if (IsBlank(p.NumToCall)) {
        s_.dialogs.ShowMessage("A number to dial was not filled in.", MessageIcon::Information);
        for (int family : kAlertFamilies) {
            p.chkPageAlert[family] = false;
            SaveProgramSetup("chkPageAlert" + std::to_string(family), OneZero(false));
        }
    }
    s_.view.contactSetup.pagingWindowVisible = false;
    s_.view.Changed();
}

void ContactSetup::ChoosePageRoute(PageRoute route) {
    Preferences& p = s_.prefs;
    p.optionNumeric = route == PageRoute::Numeric;
    p.optionPhone = route == PageRoute::Phone;
    SaveProgramSetup("optionNumeric", OneZero(p.optionNumeric));
    SaveProgramSetup("optionPhone", OneZero(p.optionPhone));
    s_.view.Changed();
}

void ContactSetup::SelectModemPort(int position) {
    ContactSetupView& v = s_.view.contactSetup;
    if (position >= 1 && position <= int(v.modemPorts.size())) {
        v.modemPortPosition = position;
    }
    s_.view.Changed();
}

bool ContactSetup::SavePagingSettings(const PagingSettings& settings) {
    if (IsBlank(settings.NumToCall)) {
        s_.dialogs.ShowMessage(
            "You must first enter the number you wish to call before you send a page.");
        RequestFocus(Focus::NumberToCall);
        s_.view.Changed();
        return false;
    }
    Preferences& p = s_.prefs;
    ContactSetupView& v = s_.view.contactSetup;
    p.NumToCall = settings.NumToCall;
    p.NumToSend = settings.NumToSend;
    p.NumToSendPhone = settings.NumToSendPhone;
    SaveProgramSetup("NumToCall", p.NumToCall);
    SaveProgramSetup("NumToSend", p.NumToSend);
    SaveProgramSetup("NumToSendPhone", p.NumToSendPhone);
    // With no port to choose from, the stored choice stays for when the modem is back.
    if (v.modemPortPosition >= 1) {
        p.IndexForModem = std::to_string(v.modemPortPosition);
        SaveProgramSetup("IndexForModem", p.IndexForModem);
    }
    v.pagingWindowVisible = false;
    s_.view.Changed();
    return true;
}

void ContactSetup::SetInitString() {
    const std::optional<std::string> answer =
        s_.dialogs.AskText("Enter the modem initialization string required for your modem",
                           kAppTitle, s_.prefs.ModemInitString);
    if (!answer || IsBlank(*answer)) {
        return;
    }
    s_.prefs.ModemInitString = *answer;
    SaveProgramSetup("ModemInitString", *answer);
    s_.view.Changed();
}

// ---- Remote monitoring window ----

void ContactSetup::OpenRemoteMonitoringWindow() {
    ShowPasswordStorage();
    s_.view.contactSetup.remoteMonitoringWindowVisible = true;
    s_.view.Changed();
}

void ContactSetup::CloseRemoteMonitoringWindow() {
    s_.view.contactSetup.remoteMonitoringWindowVisible = false;
    s_.view.Changed();
}

bool ContactSetup::SaveRemoteMonitoring(const RemoteMonitoringSettings& settings, bool keepOpen) {
    // The update runs when the minutes counted reach the interval: an interval that is not a
    // positive whole number would never be reached, and no update would ever be sent.
    if (!IsValidInterval(settings.InternetInterval, kMaxInternetInterval)) {
        s_.dialogs.ShowMessage("The update interval must be a whole number of minutes from 1 to " +
                               std::to_string(kMaxInternetInterval) + ".");
        RequestFocus(Focus::InternetInterval);
        s_.view.Changed();
        return false;
    }
    Preferences& p = s_.prefs;
    try {
        p.ServerName = settings.ServerName;
        p.UserName = settings.UserName;
        p.pw = settings.pw;
        p.RemoteDirectory = settings.RemoteDirectory;
        p.InternetInterval = std::string(Trim(settings.InternetInterval));
        p.SeeMessages = settings.SeeMessages;
        p.optStayConnected = settings.optStayConnected;
        p.optConnectBeforeSend = !settings.optStayConnected;
        p.txtTitleForUpdatePage = settings.txtTitleForUpdatePage;
        p.txtXMLDirectory = settings.txtXMLDirectory;
        p.UseDirectory = settings.UseDirectory;
        p.AutoStartIUE = settings.AutoStartIUE;
        SaveInternetSetup("ServerName", p.ServerName);
        SaveInternetSetup("UserName", p.UserName);
        SavePassword(kInternetSetup, "pw", p.pw);
        SaveInternetSetup("RemoteDirectory", p.RemoteDirectory);
        SaveInternetSetup("InternetInterval", p.InternetInterval);
        SaveInternetSetup("SeeMessages", OneZero(p.SeeMessages));
        SaveInternetSetup("optStayConnected", TrueFalse(p.optStayConnected));
        SaveInternetSetup("optConnectBeforeSend", TrueFalse(p.optConnectBeforeSend));
        SaveInternetSetup("txtTitleForUpdatePage", p.txtTitleForUpdatePage);
        SaveInternetSetup("txtXMLDirectory", p.txtXMLDirectory);
        SaveInternetSetup("UseDirectory", OneZero(p.UseDirectory));
        SaveInternetSetup("AutoStartIUE", OneZero(p.AutoStartIUE));
    } catch (const std::exception& failure) {
        s_.dialogs.ShowMessage(std::string("Error in cmdOK_Click: ") + failure.what());
        s_.view.Changed();
        return false;
    }
    s_.view.contactSetup.remoteMonitoringWindowVisible = keepOpen;
    s_.view.Changed();
    return true;
}

}  // namespace vigiltron
