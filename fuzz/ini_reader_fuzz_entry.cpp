// Loads an arbitrary settings file through the program's own path (the
// file is written to a scratch folder of this process), checks the ranges
// the loaders promise, saves everything to a new file and reads it back.
#include "ini_reader_fuzz_entry.h"

#include <string>

#include "fuzz_scratch.h"
#include "platform/file_system.h"
#include "platform/ini_file.h"
#include "settings/conversion_parameters.h"
#include "settings/settings_limits.h"
#include "settings/settings_store.h"
#include "settings/window_settings.h"

namespace pixlane::fuzz {
namespace {

bool InRange(const ConversionParameters& params) {
  for (const ParameterKey& key : ConversionParameterKeys()) {
    if (key.kind == ParameterKind::Flag) {
      const int32_t v = IntField(params, key);
      if (v != 0 && v != 1) return false;
    } else if (key.kind == ParameterKind::Int) {
      const int32_t v = IntField(params, key);
      if (v < key.minValue || v > key.maxValue) return false;
    } else if (key.kind == ParameterKind::Comment) {
      if (TextField(params, key).size() > kMaxCommentChars) return false;
    }
  }
  return true;
}

bool SameParameters(const ConversionParameters& a, const ConversionParameters& b) {
  for (const ParameterKey& key : ConversionParameterKeys()) {
    if (key.kind == ParameterKind::Flag || key.kind == ParameterKind::Int) {
      if (IntField(a, key) != IntField(b, key)) return false;
    } else if (TextField(a, key) != TextField(b, key)) {
      return false;
    }
  }
  return true;
}

bool SameWindow(const WindowSettings& a, const WindowSettings& b) {
  return a.WinX == b.WinX && a.WinY == b.WinY && a.TopMost == b.TopMost && a.TvIOSet == b.TvIOSet &&
         a.Hidden == b.Hidden && a.DTExpand == b.DTExpand && a.EndMes == b.EndMes &&
         a.FileMes == b.FileMes && a.Reset == b.Reset && a.SdToCvt == b.SdToCvt &&
         a.TipAct == b.TipAct && a.ISPath == b.ISPath && a.OSPath == b.OSPath &&
         a.SdToPath == b.SdToPath && a.SPI == b.SPI && a.IH == b.IH && a.OH == b.OH &&
         a.FolderList == b.FolderList;
}

}  // namespace

bool CheckIniInput(const uint8_t* data, size_t size) {
  const std::u16string& folder = ScratchFolder();
  if (folder.empty()) return true;  // nowhere to work: nothing to check
  const std::u16string input = JoinPath(folder, u"in.ini");
  const std::u16string saved = JoinPath(folder, u"saved.ini");
  if (!WriteFreshFile(input, data, size)) return true;

  const WorkArea area{0, 0, 1920, 1040};
  ConversionParameters params;
  WindowSettings window;
  LoadConversionParameters(input, params);
  LoadWindowSettings(input, area, u"", window);
  if (!InRange(params)) return false;

  DeleteFilePath(saved);
  if (!SaveAllSettings(saved, params, window)) return false;
  ConversionParameters again;
  WindowSettings windowAgain;
  LoadConversionParameters(saved, again);
  LoadWindowSettings(saved, area, u"", windowAgain);
  return SameParameters(params, again) && SameWindow(window, windowAgain);
}

}  // namespace pixlane::fuzz
