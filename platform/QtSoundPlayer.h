#pragma once

#include <QSoundEffect>
#include <QString>

#include "alerts/SoundPlayer.h"

namespace vigiltron {

// Plays the alert wave file through Qt Multimedia. The file is loaded once, at construction; a
// missing or unreadable file leaves the player silent rather than failing.
class QtSoundPlayer : public SoundPlayer {
public:
    explicit QtSoundPlayer(const QString& wavePath);

    void Play(bool looping) override;
    void Stop() override;

private:
    QSoundEffect effect_;
};

}  // namespace vigiltron
