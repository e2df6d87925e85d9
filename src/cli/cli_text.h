// Text the CLI prints that came from outside: file names, settings values.
// A name may hold escape sequences that would retitle or reprogram the
// terminal, so every control character is printed escaped.
#pragma once

#include <string>
#include <string_view>

#include "settings/conversion_parameters.h"

namespace pixlane::cli {

// UTF-8 with C0 controls, DEL and C1 controls written as \xNN or \uNNNN.
std::string PrintableText(std::u16string_view text);

// "setting TopStr ("../x") cannot be part of a file name: it contains a
// path separator".
std::string RefusedSettingText(const RefusedSetting& refused);

}  // namespace pixlane::cli
