#pragma once

#include <array>
#include <string>

#include "core/EventLoop.h"
#include "core/Journal.h"
#include "core/ViewModel.h"

namespace vigiltron {

// Writes what changes on screen to the journal: each Summary row's status text and the main
// window's title, one line per change. Readings and messages are journaled where they happen.
// Changes are compared once the procedure that made them is done, so a status a procedure sets
// and replaces at once is not journaled.
class ViewJournal {
public:
    ViewJournal(ViewModel& view, Journal& journal, EventLoop& loop);

private:
    void Compare();

    ViewModel& view_;
    Journal& journal_;
    EventLoop& loop_;
    bool comparePending_ = false;
    std::array<std::string, 11> statuses_;
    std::string title_;
};

}  // namespace vigiltron
