#include "alerts/AlertPacing.h"

namespace vigiltron {

bool AlertPacing::AllowAlarm(Channel channel, int setupIndex, int kind) {
    if (!now) {
        return true;  // no clock to measure the gap with: nothing is held back
    }
    const Key key{channel, setupIndex, kind};
    const Milliseconds at = Now();
    const auto last = lastSent_.find(key);
    if (last != lastSent_.end() && at - last->second < minimumGap) {
        ++heldBack_[key];
        return false;
    }
    lastSent_[key] = at;
    return true;
}

int AlertPacing::TakeHeldBack(Channel channel, int setupIndex, int kind) {
    const auto held = heldBack_.find(Key{channel, setupIndex, kind});
    if (held == heldBack_.end()) {
        return 0;
    }
    const int count = held->second;
    heldBack_.erase(held);
    return count;
}

void AlertPacing::NoteOk(int setupIndex, int kind) {
    for (Channel channel : {Channel::Email, Channel::Page}) {
        lastSent_.erase(Key{channel, setupIndex, kind});
    }
}

AlertPacing::Milliseconds AlertPacing::SinceLast(Channel channel, int setupIndex, int kind) const {
    const auto last = lastSent_.find(Key{channel, setupIndex, kind});
    return last == lastSent_.end() ? Milliseconds::max() : Now() - last->second;
}

}  // namespace vigiltron
