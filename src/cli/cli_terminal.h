// The few console facts the CLI needs: whether standard error is a
// terminal (for the progress bar) and Ctrl-C as a polite stop request.
#pragma once

#include <atomic>

namespace pixlane::cli {

bool StandardErrorIsTerminal();

// After this, Ctrl-C (SIGINT, or the console's Ctrl-C/Ctrl-Break event)
// sets `flag` instead of ending the program; a second Ctrl-C ends it, but
// not in the middle of a commit: between HoldImmediateStop(true) and
// HoldImmediateStop(false) it is held back and takes effect at the latter.
void InstallStopRequestHandler(std::atomic<bool>* flag);
void HoldImmediateStop(bool hold);

}  // namespace pixlane::cli
