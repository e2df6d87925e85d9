// The conversion settings record (INI section "CvtPrms") with the program's
// defaults, the table of its keys in file order (kind, accepted range,
// field) that loading, saving and setting by name all walk, and setting one
// value by its INI key name (the CLI's --set). File access is elsewhere.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/file_name_rules.h"

namespace pixlane {

// "DepOpt": output bit depth.
enum class DepthOption : int32_t {
  Unchanged = 0,  // "指定なし"
  Bits24 = 1,
  Bits8 = 2,
  Bits4 = 3,
  Bits2 = 4,
  Bits1 = 5,
  Gray8 = 6,  // "8bitグレイスケール"
};

struct ConversionParameters {
  int32_t IFmt = 0;  // input filter: 0 all, 1 BMP, 2 PNG, 3 JPEG, 4 TIFF, 5 GIF, 6 extensions
  std::array<int32_t, 4> SelExt{};
  std::array<std::u16string, 4> ExtStr{};
  int32_t OFmt = 2;  // output format: 0 BMP, 1 PNG, 2 JPEG, 3 TIFF, 4 GIF
  int32_t JTrans = 0;
  int32_t Level = 9;
  int32_t Quality = 75;
  int32_t Sampling = 0;
  int32_t Limit = 0;
  int32_t LmtVal = 100;
  int32_t Marker = 2;
  int32_t RszOpt = 0;
  int32_t RszSize = 100;
  int32_t UsmOpt = 0;
  int32_t TurOpt = 0;
  int32_t NameSet = 0;
  int32_t DigitNum = 2;
  int32_t StartNum = 0;
  int32_t TopAdd = 0;
  int32_t EndAdd = 0;
  std::u16string TopStr;
  std::u16string EndStr;
  int32_t MkDirAdd = 0;
  std::u16string MkDirStr = u"Output";
  int32_t IFileDel = 0;
  int32_t Recycle = 1;
  int32_t DepOpt = 0;
  int32_t Interlace = 0;
  int32_t Progressive = 0;
  int32_t CmtOpt = 0;
  int32_t HgmOpt = 0;
  int32_t GamOpt = 0;
  int32_t GamVal = 0;
  int32_t CrtOpt = 0;
  int32_t CrtVal = 0;
  int32_t HlsSOpt = 0;
  int32_t HlsSVal = 0;
  int32_t HlsHOpt = 0;
  int32_t HlsHVal = 0;
  int32_t HtmlTag = 0;
  std::u16string CmtStr1;  // the comment, with real line breaks
};

// How a "CvtPrms" value is stored.
enum class ParameterKind : uint8_t {
  Int,      // decimal integer
  Flag,     // 0 or 1, read back as (value AND 1)
  Text,     // plain string
  Comment,  // CmtStr1: line breaks coded, a "0" appended (settings_store.h)
};

// What loading does with an integer outside [minValue, maxValue].
enum class OutOfRange : uint8_t {
  Clamp,       // a count or amount: the nearest bound
  UseDefault,  // a choice from a list: the default choice
};

// One "CvtPrms" key. The ranges are those of the controls that edit the
// values; a file can only hold other values when edited by hand or damaged.
// Defaults are those of a default-constructed ConversionParameters.
struct ParameterKey {
  std::u16string_view key;
  ParameterKind kind = ParameterKind::Int;
  int32_t minValue = 0;
  int32_t maxValue = 1;
  OutOfRange outOfRange = OutOfRange::Clamp;
  // Exactly one of these names the field (a slot index for the arrays).
  int32_t ConversionParameters::*intField = nullptr;
  std::array<int32_t, 4> ConversionParameters::*intSlots = nullptr;
  std::u16string ConversionParameters::*textField = nullptr;
  std::array<std::u16string, 4> ConversionParameters::*textSlots = nullptr;
  size_t slot = 0;
};

// Every key in the order the INI file stores them.
std::span<const ParameterKey> ConversionParameterKeys();
// The key named `key` (case-insensitive), or null.
const ParameterKey* FindConversionParameterKey(std::u16string_view key);

// The field of an Int or Flag key / of a Text or Comment key.
int32_t& IntField(ConversionParameters& params, const ParameterKey& key);
int32_t IntField(const ConversionParameters& params, const ParameterKey& key);
std::u16string& TextField(ConversionParameters& params, const ParameterKey& key);
const std::u16string& TextField(const ConversionParameters& params, const ParameterKey& key);

// The value an Int or Flag key takes for a stored integer: a flag keeps
// bit 0, an integer outside its range is clamped or replaced by the default.
int32_t NormalizeStoredInt(const ParameterKey& key, int32_t stored);

// A decimal integer with an optional sign that fits in 32 bits, the whole
// text and nothing else (settings given as text, e.g. on a command line).
bool ParseSettingInt(std::u16string_view text, int32_t& out);

// Sets the field named by its INI key (case-insensitive) from text: integers
// in decimal with an optional sign, within the key's range (flags 0 or 1);
// strings as given (the comment with real line breaks; other strings without
// line breaks). False, leaving the record unchanged, for an unknown key, a
// malformed or out-of-range integer, an unstorable string, or a naming
// text that cannot be part of a file name (see CheckNameSetting).
bool SetConversionParameter(ConversionParameters& params, std::u16string_view key,
                            std::u16string_view value);

// The settings whose text becomes part of output paths: "TopStr" and
// "EndStr" are pieces of a file name, "MkDirStr" is one folder name (empty
// means none). NameProblem::None for every other key.
NameProblem CheckNameSetting(std::u16string_view key, std::u16string_view value);

struct RefusedSetting {
  std::u16string_view key;  // "TopStr", "EndStr" or "MkDirStr"
  std::u16string value;
  NameProblem problem = NameProblem::None;
};

// The first naming text in use ("TopAdd", "EndAdd", "MkDirAdd" set) that
// cannot be part of a file name: a settings file or an edit box may hold
// "../" or "CON", which must never reach a path. False when all are safe.
bool FindRefusedNameSetting(const ConversionParameters& params, RefusedSetting& refused);

}  // namespace pixlane
