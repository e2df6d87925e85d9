// How the command line sets up glibc's malloc for batches of large images
// before doing anything else (nothing on other C libraries and on Windows).
#pragma once

namespace pixlane::cli {

// May replace the process image with the same program and arguments (see
// heap_tuning_glibc.cpp); returns when there is nothing more to set up.
void TuneHeapForImageBatches(char** argv);

}  // namespace pixlane::cli
