#include "ui/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include <gtest/gtest.h>

namespace vigiltron {
namespace {

void FlushDeletes() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Runs `answer` on the modal dialog once its own event loop is running.
void AnswerNextModal(std::function<void(QWidget*)> answer) {
    QTimer::singleShot(0, qApp, [answer = std::move(answer)] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        answer(modal);
    });
}

TEST(QtDialogsTest, MessagesDoNotWaitAndAreNotStacked) {
    QtDialogs dialogs;
    dialogs.ShowMessage("Port already open", MessageIcon::Exclamation);
    // Reaching this line at all means the call did not wait for the user.
    ASSERT_EQ(dialogs.OpenMessageCount(), 1);
    QMessageBox* box = dialogs.OpenMessages().front();
    EXPECT_EQ(box->text(), "Port already open");
    EXPECT_EQ(box->windowTitle(), "Vigiltron Manager");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->windowModality(), Qt::NonModal);

    dialogs.ShowMessage("Port already open", MessageIcon::Exclamation);
    EXPECT_EQ(dialogs.OpenMessageCount(), 1) << "the same message is not shown twice";

    dialogs.ShowMessage("Port already open", MessageIcon::Exclamation, false, "Other Title");
    dialogs.ShowMessage("Device not found.", MessageIcon::Information);
    EXPECT_EQ(dialogs.OpenMessageCount(), 3);
    EXPECT_EQ(dialogs.OpenMessages()[2]->icon(), QMessageBox::Information);

    // Once the user closes it, the box goes away and the message may be shown again.
    QPointer<QMessageBox> watched = box;
    box->button(QMessageBox::Ok)->click();
    FlushDeletes();
    EXPECT_TRUE(watched.isNull()) << "a closed box deletes itself";
    EXPECT_EQ(dialogs.OpenMessageCount(), 2);
    dialogs.ShowMessage("Port already open", MessageIcon::Exclamation);
    EXPECT_EQ(dialogs.OpenMessageCount(), 3);
}

TEST(QtDialogsTest, SystemModalMessagesBlockInputButNotTheCaller) {
    QtDialogs dialogs;
    dialogs.ShowMessage("The serial port has been closed.", MessageIcon::Critical, true);
    ASSERT_EQ(dialogs.OpenMessageCount(), 1);
    QMessageBox* box = dialogs.OpenMessages().front();
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
}

TEST(QtDialogsTest, OpenBoxesGoWithTheDialogs) {
    QPointer<QMessageBox> box;
    {
        QtDialogs dialogs;
        dialogs.ShowMessage("Timer1 Error.");
        box = dialogs.OpenMessages().front();
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    }
    EXPECT_TRUE(box.isNull());
}

TEST(QtDialogsTest, YesNoWaitsForTheAnswerAndHonoursTheDefaultButton) {
    QtDialogs dialogs;
    bool defaultWasNo = false;
    AnswerNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Are you sure you want to exit?");
        EXPECT_EQ(box->windowTitle(), "Vigiltron Manager Exit");
        defaultWasNo = box->defaultButton() == box->button(QMessageBox::No);
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(
        dialogs.AskYesNo("Are you sure you want to exit?", "Vigiltron Manager Exit", false));
    EXPECT_TRUE(defaultWasNo);

    AnswerNextModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
        box->reject();  // Escape / window close counts as No
    });
    EXPECT_FALSE(dialogs.AskYesNo("Delete this sensor?"));
}

TEST(QtDialogsTest, TextPromptReturnsTheTextOrNothingWhenCancelled) {
    QtDialogs dialogs;
    AnswerNextModal([](QWidget* modal) {
        auto* input = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(input, nullptr);
        EXPECT_EQ(input->labelText(), "Enter the new name:");
        EXPECT_EQ(input->textValue(), "Lab");
        input->setTextValue("Lab 2");
        input->accept();
    });
    EXPECT_EQ(dialogs.AskText("Enter the new name:", "Rename Sensor", "Lab"),
              std::optional<std::string>("Lab 2"));

    AnswerNextModal([](QWidget* modal) {
        auto* input = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(input, nullptr);
        input->setTextValue("ignored");
        input->reject();
    });
    EXPECT_EQ(dialogs.AskText("Enter the new name:"), std::nullopt);

    // An accepted empty answer is still an answer, not a cancel.
    AnswerNextModal([](QWidget* modal) {
        auto* input = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(input, nullptr);
        input->setTextValue("");
        input->accept();
    });
    EXPECT_EQ(dialogs.AskText("Enter the new name:"), std::optional<std::string>(""));
}

}  // namespace
}  // namespace vigiltron
