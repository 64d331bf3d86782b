#include "platform/QtSoundPlayer.h"

#include <QUrl>

namespace vigiltron {

QtSoundPlayer::QtSoundPlayer(const QString& wavePath) {
    effect_.setSource(QUrl::fromLocalFile(wavePath));
    effect_.setVolume(1.0);
}

void QtSoundPlayer::Play(bool looping) {
    // Restart from the beginning, so a new alarm is heard even while an older one still plays.
    effect_.stop();
    effect_.setLoopCount(looping ? QSoundEffect::Infinite : 1);
    effect_.play();
}

void QtSoundPlayer::Stop() {
    effect_.stop();
}

}  // namespace vigiltron
