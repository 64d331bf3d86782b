#pragma once

#include <array>

namespace vigiltron {

// The four display slots of one sensor tab: which are taken, and by which setup index. The count
// is kept beside the flags because other code reads it as "how many devices are on this tab".
class SlotTable {
public:
    static constexpr int kSlots = 4;

    static bool IsValidSlot(int slot) { return slot >= 1 && slot <= kSlots; }

    int Count() const { return count_; }
    bool IsFull() const { return count_ >= kSlots; }
    bool IsTaken(int slot) const { return IsValidSlot(slot) && owner_[slot] != 0; }
    // The setup index filling the slot; 0 when free or out of range.
    int Owner(int slot) const { return IsValidSlot(slot) ? owner_[slot] : 0; }

    // The lowest free slot, or 0 when none is free.
    int LowestFree() const {
        for (int slot = 1; slot <= kSlots; ++slot) {
            if (owner_[slot] == 0) {
                return slot;
            }
        }
        return 0;
    }

    // Takes the slot for a setup index. Taking a slot again for its own owner changes nothing, so
    // a device shown twice is still counted once; a slot held by another entry is refused.
    bool Take(int slot, int setupIndex) {
        if (!IsValidSlot(slot) || setupIndex <= 0) {
            return false;
        }
        if (owner_[slot] != 0) {
            return owner_[slot] == setupIndex;
        }
        owner_[slot] = setupIndex;
        ++count_;
        return true;
    }

    // Frees the slot; a free slot stays free and the count never goes below 0.
    bool Release(int slot) {
        if (!IsTaken(slot)) {
            return false;
        }
        owner_[slot] = 0;
        --count_;
        return true;
    }

    void Clear() {
        count_ = 0;
        owner_.fill(0);
    }

private:
    int count_ = 0;
    std::array<int, kSlots + 1> owner_{};  // index 0 unused
};

}  // namespace vigiltron
