#include "core/ViewModel.h"

namespace vigiltron {

ViewModel::ViewModel() = default;

void ViewModel::Changed() {
    ++revision_;
    for (const auto& observer : observers_) {
        observer();
    }
}

}  // namespace vigiltron
