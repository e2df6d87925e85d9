// The CLI's conversion run: expands folders into their image files,
// converts each into the output folder and reports progress through a
// printer callback. Returns the counts; prints nothing itself.
#pragma once

#include <functional>
#include <string>

#include "cli/cli_options.h"

namespace pixlane::cli {

struct ConversionSummary {
  int converted = 0;
  int failed = 0;
};

// `print` receives UTF-8 lines without the line break; `isError` marks
// failures (the front end sends them to stderr).
using LinePrinter = std::function<void(const std::string& line, bool isError)>;

// False only when the run could not start (e.g. the output folder cannot be
// created); per-file failures are counted in `summary`.
bool RunConversion(const CliOptions& options, const LinePrinter& print,
                   ConversionSummary& summary);

}  // namespace pixlane::cli
