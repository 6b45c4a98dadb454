#include "platform/console.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <ctime>

namespace platform {

namespace {

sigset_t interruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void holdInterrupts() {
    const sigset_t set = interruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool takeInterrupt() {
    const sigset_t set = interruptSignals();
    timespec zero{};
    return sigtimedwait(&set, nullptr, &zero) > 0;
}

}  // namespace platform
