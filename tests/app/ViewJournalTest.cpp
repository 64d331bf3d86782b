#include "app/ViewJournal.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/HeadlessJournal.h"
#include "sim/VirtualEventLoop.h"

namespace vigiltron {
namespace {

TEST(ViewJournalTest, OneLinePerStatusChangeOnceTheProcedureIsDone) {
    VirtualEventLoop loop;
    VirtualClock clock(loop, LocalDateTime{2026, 12, 7, 16, 5, 9, 0});
    std::ostringstream out;
    StreamJournal journal(out, clock);
    ViewModel view;
    ViewJournal viewJournal(view, journal, loop);

    // A procedure that sets "OK" first and then the real verdict, telling the view both times.
    view.Row(8).name = "Loading bay";
    view.Row(8).status = "OK";
    view.Changed();
    view.Row(8).status = "Too Close";
    view.Changed();
    loop.RunUntilIdle();
    // Nothing changed since: nothing more is written.
    view.Changed();
    loop.RunUntilIdle();
    view.mainTitle = " * WARNING * File Logging stopped because it hit the size limit.";
    view.Changed();
    loop.RunUntilIdle();

    EXPECT_EQ(out.str(),
              "2026-12-07 16:05:09.000 status: 8 Loading bay Too Close\n"
              "2026-12-07 16:05:09.000 title:  * WARNING * File Logging stopped because it hit "
              "the size limit.\n");
}

TEST(HeadlessDialogsTest, QuestionsTakeTheirDefaultAndPromptsAreCancelled) {
    VirtualEventLoop loop;
    VirtualClock clock(loop, LocalDateTime{2026, 12, 7, 9, 0, 0, 0});
    std::ostringstream out;
    StreamJournal journal(out, clock);
    HeadlessDialogs dialogs(journal);
    EXPECT_TRUE(dialogs.AskYesNo("Are you sure you want to exit?", "Vigiltron Manager Exit"));
    EXPECT_FALSE(dialogs.AskYesNo("Overwrite?", kAppTitle, false));
    EXPECT_EQ(dialogs.AskText("Name?"), std::nullopt);
    dialogs.ShowMessage("Success.  You must exit the program and restart.\nYou will be prompted.");
    EXPECT_EQ(out.str(),
              "2026-12-07 09:00:00.000 question: [Vigiltron Manager Exit] Are you sure you want "
              "to exit? -> Yes\n"
              "2026-12-07 09:00:00.000 question: Overwrite? -> No\n"
              "2026-12-07 09:00:00.000 prompt: Name? -> cancelled\n"
              "2026-12-07 09:00:00.000 message: Success.  You must exit the program and restart. "
              "| You will be prompted.\n");
}

}  // namespace
}  // namespace vigiltron
