#include "ui/PagingSetupWindow.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/Forward.h"

namespace vigiltron {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// The connection toggle's caption comes from the program without a mnemonic; both of its forms
// ("Open Connection", "Close port") take the first "e", which no other control here uses.
QString WithMnemonic(const std::string& caption) {
    QString shown = Text(caption);
    const qsizetype at = shown.indexOf(QLatin1Char('e'));
    if (at >= 0) {
        shown.insert(at, QLatin1Char('&'));
    }
    return shown;
}

}  // namespace

PagingSetupWindow::PagingSetupWindow(ViewModel& view, const Preferences& prefs,
                                     PagingWindowCommands commands, QWidget* parent)
    : ViewDialog(view, commands.close, parent), prefs_(prefs), commands_(std::move(commands)) {
    setObjectName(QStringLiteral("pagingSetupWindow"));
    setWindowTitle(QStringLiteral("Paging Setup"));

    // Created in reading order, which is also the tab order.
    auto* numbers = new QFormLayout;
    numToCall_ = new QLineEdit(this);
    numToCall_->setObjectName(QStringLiteral("NumToCall"));
    numToSend_ = new QLineEdit(this);
    numToSend_->setObjectName(QStringLiteral("NumToSend"));
    numToSendPhone_ = new QLineEdit(this);
    numToSendPhone_->setObjectName(QStringLiteral("NumToSendPhone"));
    modemPort_ = new QComboBox(this);
    modemPort_->setObjectName(QStringLiteral("IndexForModem"));
    numbers->addRow(QStringLiteral("Number to &call (pager service):"), numToCall_);
    numbers->addRow(QStringLiteral("Number to &send (page digits):"), numToSend_);
    numbers->addRow(QStringLiteral("Phone number to &dial (caller ID):"), numToSendPhone_);
    numbers->addRow(QStringLiteral("&Modem port:"), modemPort_);

    auto* route = new QGroupBox(QStringLiteral("Page route"), this);
    numericOption_ = new QRadioButton(QStringLiteral("Numerical Pa&ger"), route);
    numericOption_->setObjectName(QStringLiteral("optionNumeric"));
    alphaOption_ = new QRadioButton(QStringLiteral("&Alpha-Numerical Pager"), route);
    alphaOption_->setObjectName(QStringLiteral("optionAlphaNumeric"));
    phoneOption_ = new QRadioButton(QStringLiteral("Dial phone (User Caller &ID)"), route);
    phoneOption_->setObjectName(QStringLiteral("optionPhone"));
    auto* routeGroup = new QButtonGroup(this);
    auto* routeLayout = new QVBoxLayout(route);
    for (QRadioButton* option : {numericOption_, alphaOption_, phoneOption_}) {
        routeGroup->addButton(option);
        routeLayout->addWidget(option);
    }

    initStringButton_ = new QPushButton(QStringLiteral("Se&t Init String"), this);
    initStringButton_->setObjectName(QStringLiteral("cmdSetInitString"));
    connectionButton_ = new QPushButton(this);
    connectionButton_->setObjectName(QStringLiteral("cmdConnection"));
    numericTestButton_ = new QPushButton(QStringLiteral("&Numeric Pager Test"), this);
    numericTestButton_->setObjectName(QStringLiteral("cmdNumericTest"));
    phoneTestButton_ = new QPushButton(QStringLiteral("&Phone Call Paging Test"), this);
    phoneTestButton_->setObjectName(QStringLiteral("cmdPhoneTest"));
    okButton_ = new QPushButton(QStringLiteral("&Ok"), this);
    okButton_->setObjectName(QStringLiteral("cmdOk"));
    okButton_->setDefault(true);

    auto* modem = new QGridLayout;
    modem->addWidget(initStringButton_, 0, 0);
    modem->addWidget(connectionButton_, 0, 1);
    modem->addWidget(numericTestButton_, 1, 0);
    modem->addWidget(phoneTestButton_, 1, 1);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch();
    okRow->addWidget(okButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(numbers);
    layout->addWidget(route);
    layout->addLayout(modem);
    layout->addStretch();
    layout->addLayout(okRow);

    const std::pair<QRadioButton*, PageRoute> routes[] = {{numericOption_, PageRoute::Numeric},
                                                          {alphaOption_, PageRoute::AlphaNumeric},
                                                          {phoneOption_, PageRoute::Phone}};
    for (const auto& [option, pageRoute] : routes) {
        connect(option, &QRadioButton::toggled, this, [this, pageRoute = pageRoute](bool on) {
            if (on) {
                Forward(commands_.choosePageRoute, pageRoute);
            }
        });
    }
    connect(modemPort_, &QComboBox::activated, this,
            [this](int index) { Forward(commands_.selectModemPort, index + 1); });
    connect(initStringButton_, &QPushButton::clicked, this,
            [this] { Forward(commands_.setInitString); });
    connect(connectionButton_, &QPushButton::clicked, this,
            [this] { Forward(commands_.toggleConnection); });
    connect(numericTestButton_, &QPushButton::clicked, this,
            [this] { Forward(commands_.numericPagerTest); });
    connect(phoneTestButton_, &QPushButton::clicked, this,
            [this] { Forward(commands_.phoneCallTest); });
    connect(okButton_, &QPushButton::clicked, this, [this] { Save(); });

    // Only requests made from now on move the focus.
    focusRequestsHandled_ = view_.contactSetup.focusRequests;
    Refresh();
}

void PagingSetupWindow::LoadBoxes() {
    numToCall_->setText(Text(prefs_.NumToCall));
    numToSend_->setText(Text(prefs_.NumToSend));
    numToSendPhone_->setText(Text(prefs_.NumToSendPhone));
}

void PagingSetupWindow::RenderPorts() {
    const ContactSetupView& v = view_.contactSetup;
    if (portsShown_ != v.modemPorts) {
        modemPort_->clear();
        for (int com : v.modemPorts) {
            modemPort_->addItem(QStringLiteral("COM%1").arg(com));
        }
        portsShown_ = v.modemPorts;
    }
    modemPort_->setCurrentIndex(v.modemPortPosition - 1);
}

void PagingSetupWindow::Render(bool opening) {
    const ContactSetupView& v = view_.contactSetup;
    {
        // Rendering is not the user's doing: no command may follow from it.
        const QSignalBlocker blockNumeric(numericOption_);
        const QSignalBlocker blockAlpha(alphaOption_);
        const QSignalBlocker blockPhone(phoneOption_);
        const QSignalBlocker blockPorts(modemPort_);
        if (opening) {
            LoadBoxes();
        }
        numericOption_->setChecked(prefs_.optionNumeric);
        phoneOption_->setChecked(!prefs_.optionNumeric && prefs_.optionPhone);
        alphaOption_->setChecked(!prefs_.optionNumeric && !prefs_.optionPhone);
        RenderPorts();
    }
    const QString caption = WithMnemonic(v.modemConnectCaption);
    if (connectionButton_->text() != caption) {
        connectionButton_->setText(caption);
    }
}

void PagingSetupWindow::RenderFocus() {
    const ContactSetupView& v = view_.contactSetup;
    if (focusRequestsHandled_ != v.focusRequests) {
        focusRequestsHandled_ = v.focusRequests;
        if (v.focus == ContactSetupView::Focus::NumberToCall && v.pagingWindowVisible) {
            numToCall_->setFocus();
        }
    }
}

void PagingSetupWindow::Save() {
    PagingSettings settings;
    settings.NumToCall = numToCall_->text().toStdString();
    settings.NumToSend = numToSend_->text().toStdString();
    settings.NumToSendPhone = numToSendPhone_->text().toStdString();
    Forward(commands_.save, settings);
}

}  // namespace vigiltron
