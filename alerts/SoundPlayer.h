#pragma once

namespace vigiltron {

// Plays the alert sound. Playing never waits: the sound runs on its own while the engine goes on.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Starts the alert sound from its beginning; `looping` repeats it until Stop().
    virtual void Play(bool looping) = 0;
    virtual void Stop() = 0;
};

class SilentSoundPlayer : public SoundPlayer {
public:
    void Play(bool) override {}
    void Stop() override {}
};

}  // namespace vigiltron
