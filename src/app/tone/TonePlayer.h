// Between the tone beeper and the sound output it loads at its first beep.
// The sound output (Qt Multimedia and the sound server's client library) is a
// module of its own, so that the window neither loads nor sets up any of it
// until a tone is to be played: a start without it is quicker and smaller,
// and a machine that never beeps never touches its sound system.
//
// The module exports one C function, TonePlayerFactory, that makes a player.
// A player plays one tone at a time and returns when the tone has ended,
// when the output failed, or after the tone's duration plus
// ToneBeeper::MarginMs; it prints nothing, whatever the machine's sound.
#pragma once

namespace ct::app {

class TonePlayer {
public:
    virtual ~TonePlayer() = default;
    virtual void Play(int frequencyHz, int durationMs) = 0;
};

// The module's file name, and the factory it exports.
inline constexpr const char* ToneModuleFile = "controller-tools-tone.so";
inline constexpr const char* TonePlayerFactory = "ct_make_tone_player";
using MakeTonePlayer = TonePlayer* (*)();

}  // namespace ct::app
