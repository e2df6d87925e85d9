// The settings file reader's fuzz entry, shared by the libFuzzer target and
// by the test that replays its corpus: the input is written as a settings
// file, both settings records are loaded from it, and what was loaded must
// be in range and survive a save and a reload unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixlane::fuzz {

// False when a loaded value is out of its range or the save-and-reload
// round trip lost or changed a setting.
bool CheckIniInput(const uint8_t* data, size_t size);

}  // namespace pixlane::fuzz
