#pragma once

#include <array>
#include <string>

#include "core/Journal.h"
#include "core/ViewModel.h"

namespace vigiltron {

// Writes what changes on screen to the journal: each Summary row's status text and the main
// window's title, one line per change. Readings and messages are journaled where they happen.
class ViewJournal {
public:
    ViewJournal(ViewModel& view, Journal& journal);

private:
    void Compare();

    ViewModel& view_;
    Journal& journal_;
    std::array<std::string, 11> statuses_;
    std::string title_;
};

}  // namespace vigiltron
