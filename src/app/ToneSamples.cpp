// The samples of one tone; compiled into the window and into its sound output
// module alike.
#include "app/Beeper.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ct::app {

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int RampMs = 5;
constexpr double Amplitude = 0.5;

}  // namespace

std::vector<float> ToneSamples(int frequencyHz, int durationMs, int sampleRate)
{
    if (frequencyHz <= 0 || durationMs <= 0 || sampleRate <= 0)
        return {};
    const auto count = static_cast<std::size_t>(static_cast<std::int64_t>(sampleRate) * durationMs / 1000);
    const std::size_t ramp =
        std::min(static_cast<std::size_t>(static_cast<std::int64_t>(sampleRate) * RampMs / 1000), count / 2);
    const double step = 2 * Pi * frequencyHz / sampleRate;
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        double gain = Amplitude;
        const std::size_t edge = std::min(i, count - 1 - i);
        if (edge < ramp)
            gain *= 0.5 - 0.5 * std::cos(Pi * static_cast<double>(edge) / static_cast<double>(ramp));
        samples[i] = static_cast<float>(gain * std::sin(step * static_cast<double>(i)));
    }
    return samples;
}

}  // namespace ct::app
