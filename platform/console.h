#pragma once
// What a command-line front end needs of its terminal: whether standard error is one,
// and Ctrl-C and termination requests polled between steps instead of interrupting
// at a random point.

namespace platform {

// True when standard error is a terminal (progress bars), false for a file or pipe.
bool standardErrorIsTerminal();

// Holds back SIGINT and SIGTERM on the calling thread and on every thread it starts
// afterwards (call before any thread starts). Children still get the default handling.
void holdInterrupts();

// True, once per request, when a held SIGINT or SIGTERM has arrived. Never blocks.
bool takeInterrupt();

}  // namespace platform
