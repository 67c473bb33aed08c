#include "Pacer.h"

#include <thread>

namespace qk {

void SleepingPacer::Pause(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

}  // namespace qk
