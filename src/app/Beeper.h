// The tone beep of the operation endings: a tone of the given frequency and
// duration on the machine's sound output, returning when the tone has ended.
//
// Where the machine has no sound output the beep is skipped at once, and
// silently: nothing is printed, whatever the sound system says. A beep never
// waits longer than its duration plus ToneBeeper::MarginMs, and the calling
// thread processes no events while it waits, so no click reaches the window
// during a beep. On Windows the system's tone beep plays it; elsewhere a
// generated sine goes to the default audio output through a module loaded at
// the first beep (tone/TonePlayer.h): until then nothing of the sound output
// is loaded or set up.
#pragma once

#include "link/OperationFrame.h"

#include <memory>
#include <vector>

namespace ct::app {

class TonePlayer;

// One tone as samples in -1..1 at the given sample rate, with short ramps at
// both ends so that it starts and stops without a click; empty when any
// argument is not positive.
std::vector<float> ToneSamples(int frequencyHz, int durationMs, int sampleRate);

class ToneBeeper final : public link::IBeeper {
public:
    // Longest a beep waits beyond its duration for the sound output to open,
    // start and drain.
    static constexpr int MarginMs = 1000;

    ToneBeeper();
    ~ToneBeeper() override;
    ToneBeeper(const ToneBeeper&) = delete;
    ToneBeeper& operator=(const ToneBeeper&) = delete;

    void Beep(int frequencyHz, int durationMs) override;

private:
    std::unique_ptr<TonePlayer> player_;
    bool loadTried_ = false;
};

}  // namespace ct::app
