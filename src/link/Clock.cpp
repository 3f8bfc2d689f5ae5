#include "link/Clock.h"

#include <chrono>

namespace ct::link {

std::uint32_t SteadyClock::NowMs()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace ct::link
