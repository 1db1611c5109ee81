#include "platform/Beep.h"

#include <unistd.h>

#include <deque>
#include <mutex>

namespace platform {
namespace {

constexpr size_t kHistoryLimit = 1000;

std::mutex gMutex;
std::deque<uint32_t> gHistory;
BeepSound gSound = nullptr;

}  // namespace

bool MessageBeep(uint32_t type) {
    BeepSound sound;
    {
        std::lock_guard lock(gMutex);
        gHistory.push_back(type);
        if (gHistory.size() > kHistoryLimit) gHistory.pop_front();
        sound = gSound;
    }
    if (sound) {
        sound(type);
    } else if (::isatty(STDERR_FILENO)) {
        const char bell = '\a';
        [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, &bell, 1);
    }
    return true;
}

std::vector<uint32_t> BeepHistory() {
    std::lock_guard lock(gMutex);
    return {gHistory.begin(), gHistory.end()};
}

void ClearBeepHistory() {
    std::lock_guard lock(gMutex);
    gHistory.clear();
}

void SetBeepSound(BeepSound sound) {
    std::lock_guard lock(gMutex);
    gSound = sound;
}

}  // namespace platform
