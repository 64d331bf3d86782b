#include "app/ContactWindowsWiring.h"

#include "app/Engine.h"

namespace vigiltron {

ContactWindowsCommands ContactWindowsCommandsFor(Engine& engine) {
    ContactSetup& rules = engine.contactSetup;
    ContactWindowsCommands c;
    c.openEmailSetup = [&rules] { rules.OpenEmailWindow(); };
    c.openPagingSetup = [&rules] { rules.OpenPagingWindow(); };
    c.openRemoteMonitoring = [&rules] { rules.OpenRemoteMonitoringWindow(); };

    EmailWindowCommands& email = c.email;
    email.close = [&rules] { rules.CloseEmailWindow(); };
    email.chooseMailRoute = [&rules](bool smtp) { rules.ChooseMailRoute(smtp); };
    email.setAuthenticationRequired = [&rules](bool on) { rules.SetAuthenticationRequired(on); };
    email.save = [&rules](const EmailSettings& settings) { rules.SaveEmailSettings(settings); };
    email.clearLog = [&rules] { rules.ClearEmailStatus(); };
    SmtpMailer& smtp = engine.smtp;
    email.testSmtpEmail = [&smtp](const std::string& server) { smtp.TestSmtpEmail(server); };
    email.createLogFile = [&smtp] { smtp.CreateLogFile(); };

    PagingWindowCommands& paging = c.paging;
    paging.close = [&rules] { rules.ClosePagingWindow(); };
    paging.choosePageRoute = [&rules](PageRoute route) { rules.ChoosePageRoute(route); };
    paging.selectModemPort = [&rules](int position) { rules.SelectModemPort(position); };
    paging.save = [&rules](const PagingSettings& settings) { rules.SavePagingSettings(settings); };
    paging.setInitString = [&rules] { rules.SetInitString(); };
    ModemPager& pager = engine.pager;
    paging.toggleConnection = [&pager] { pager.ToggleConnection(); };
    // A test reports a failure in its own messages; a page that went out says nothing.
    paging.numericPagerTest = [&pager] { pager.NumericPagerTest(); };
    paging.phoneCallTest = [&pager] { pager.PhoneCallTest(); };

    RemoteMonitoringWindowCommands& remote = c.remoteMonitoring;
    remote.close = [&rules] { rules.CloseRemoteMonitoringWindow(); };
    remote.save = [&rules](const RemoteMonitoringSettings& settings) {
        rules.SaveRemoteMonitoring(settings);
    };
    FtpUpdateEngine& ftp = engine.ftp;
    remote.login = [&rules, &ftp](const RemoteMonitoringSettings& settings) {
        if (rules.SaveRemoteMonitoring(settings, true)) {
            ftp.cmdLoginFTP_Click();
        }
    };
    remote.logout = [&ftp] { ftp.cmdLogoutFTP_Click(); };
    remote.startStopUpdate = [&ftp] { ftp.cmdStartUpdate_Click(); };
    remote.testTransfer = [&ftp] { ftp.cmdTestTransfer_Click(); };
    remote.changeDirectory = [&ftp] { ftp.ChangeDirectory(); };
    remote.directoryListing = [&ftp] { ftp.DirectoryListing(); };
    remote.listContents = [&ftp] { ftp.ListContents(); };
    remote.makeDirectory = [&ftp] { ftp.MakeDirectory(); };
    remote.cancel = [&ftp] { ftp.CancelCommand(); };
    remote.makeLocalDirectory = [&ftp] { ftp.MakeLocalXmlDirectory(); };
    remote.saveLog = [&ftp] { ftp.PrintList(); };
    return c;
}

}  // namespace vigiltron
