#include "app/ViewJournal.h"

namespace vigiltron {

ViewJournal::ViewJournal(ViewModel& view, Journal& journal, EventLoop& loop)
    : view_(view), journal_(journal), loop_(loop), title_(view.mainTitle) {
    view_.Subscribe([this] {
        if (!comparePending_) {
            comparePending_ = true;
            loop_.Post([this] { Compare(); });
        }
    });
}

void ViewJournal::Compare() {
    comparePending_ = false;
    for (int n = 1; n <= 10; ++n) {
        const SummaryRow& row = view_.Row(n);
        if (row.status != statuses_[n]) {
            statuses_[n] = row.status;
            journal_.Record("status", std::to_string(n) + " " + row.name + " " +
                                          (row.status.empty() ? "(cleared)" : row.status));
        }
    }
    if (view_.mainTitle != title_) {
        title_ = view_.mainTitle;
        journal_.Record("title", title_);
    }
}

}  // namespace vigiltron
