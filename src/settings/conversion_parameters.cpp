// The "CvtPrms" key table and setting a conversion parameter by its INI key
// name. The table order is the order of the keys in the saved file.
#include "settings/conversion_parameters.h"

#include <cassert>
#include <limits>

#include "platform/ini_file.h"
#include "platform/text.h"

namespace pixlane {
namespace {

using P = ConversionParameters;

constexpr ParameterKey Choice(std::u16string_view key, int32_t P::*field, int32_t last) {
  ParameterKey k{key};
  k.maxValue = last;
  k.outOfRange = OutOfRange::UseDefault;
  k.intField = field;
  return k;
}

constexpr ParameterKey Amount(std::u16string_view key, int32_t P::*field, int32_t least,
                              int32_t most) {
  ParameterKey k{key};
  k.minValue = least;
  k.maxValue = most;
  k.intField = field;
  return k;
}

constexpr ParameterKey Flag(std::u16string_view key, int32_t P::*field) {
  ParameterKey k{key, ParameterKind::Flag};
  k.intField = field;
  return k;
}

constexpr ParameterKey FlagSlot(std::u16string_view key, size_t slot) {
  ParameterKey k{key, ParameterKind::Flag};
  k.intSlots = &P::SelExt;
  k.slot = slot;
  return k;
}

constexpr ParameterKey Text(std::u16string_view key, std::u16string P::*field) {
  ParameterKey k{key, ParameterKind::Text};
  k.textField = field;
  return k;
}

constexpr ParameterKey TextSlot(std::u16string_view key, size_t slot) {
  ParameterKey k{key, ParameterKind::Text};
  k.textSlots = &P::ExtStr;
  k.slot = slot;
  return k;
}

constexpr ParameterKey Comment(std::u16string_view key, std::u16string P::*field) {
  ParameterKey k{key, ParameterKind::Comment};
  k.textField = field;
  return k;
}

constexpr ParameterKey kKeys[] = {
    Choice(u"IFmt", &P::IFmt, 6),
    FlagSlot(u"SelExt0", 0),
    FlagSlot(u"SelExt1", 1),
    FlagSlot(u"SelExt2", 2),
    FlagSlot(u"SelExt3", 3),
    TextSlot(u"ExtStr0", 0),
    TextSlot(u"ExtStr1", 1),
    TextSlot(u"ExtStr2", 2),
    TextSlot(u"ExtStr3", 3),
    Choice(u"OFmt", &P::OFmt, 5),
    Flag(u"JTrans", &P::JTrans),
    Amount(u"Level", &P::Level, 0, 9),
    Amount(u"Quality", &P::Quality, 1, 100),
    Choice(u"Sampling", &P::Sampling, 2),
    Flag(u"Limit", &P::Limit),
    Amount(u"LmtVal", &P::LmtVal, 1, 32767),
    Choice(u"Marker", &P::Marker, 2),
    Choice(u"RszOpt", &P::RszOpt, 3),
    Amount(u"RszSize", &P::RszSize, 0, 9999),
    Choice(u"UsmOpt", &P::UsmOpt, 3),
    Choice(u"TurOpt", &P::TurOpt, 3),
    Choice(u"NameSet", &P::NameSet, 2),
    Amount(u"DigitNum", &P::DigitNum, 1, 5),
    Amount(u"StartNum", &P::StartNum, 0, 9999),
    Flag(u"TopAdd", &P::TopAdd),
    Flag(u"EndAdd", &P::EndAdd),
    Text(u"TopStr", &P::TopStr),
    Text(u"EndStr", &P::EndStr),
    Flag(u"MkDirAdd", &P::MkDirAdd),
    Text(u"MkDirStr", &P::MkDirStr),
    Flag(u"IFileDel", &P::IFileDel),
    Flag(u"Recycle", &P::Recycle),
    Choice(u"DepOpt", &P::DepOpt, 6),
    Flag(u"Interlace", &P::Interlace),
    Flag(u"Progressive", &P::Progressive),
    Flag(u"CmtOpt", &P::CmtOpt),
    Flag(u"HgmOpt", &P::HgmOpt),
    Flag(u"GamOpt", &P::GamOpt),
    Amount(u"GamVal", &P::GamVal, -100, 100),
    Flag(u"CrtOpt", &P::CrtOpt),
    Amount(u"CrtVal", &P::CrtVal, -100, 100),
    Flag(u"HlsSOpt", &P::HlsSOpt),
    Amount(u"HlsSVal", &P::HlsSVal, -255, 255),
    Flag(u"HlsHOpt", &P::HlsHOpt),
    Amount(u"HlsHVal", &P::HlsHVal, -180, 180),
    Flag(u"HtmlTag", &P::HtmlTag),
    Comment(u"CmtStr1", &P::CmtStr1),
};

bool IsIntKind(const ParameterKey& key) {
  return key.kind == ParameterKind::Int || key.kind == ParameterKind::Flag;
}

}  // namespace

bool ParseSettingInt(std::u16string_view text, int32_t& out) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i == text.size()) return false;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    value = value * 10 + (text[i] - u'0');
    if (value > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1) return false;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return false;
  out = static_cast<int32_t>(value);
  return true;
}

std::span<const ParameterKey> ConversionParameterKeys() { return kKeys; }

const ParameterKey* FindConversionParameterKey(std::u16string_view key) {
  for (const ParameterKey& k : kKeys) {
    if (EqualsIgnoreCaseAscii(key, k.key)) return &k;
  }
  return nullptr;
}

int32_t& IntField(ConversionParameters& params, const ParameterKey& key) {
  assert(IsIntKind(key));
  return key.intField != nullptr ? params.*(key.intField) : (params.*(key.intSlots))[key.slot];
}

int32_t IntField(const ConversionParameters& params, const ParameterKey& key) {
  assert(IsIntKind(key));
  return key.intField != nullptr ? params.*(key.intField) : (params.*(key.intSlots))[key.slot];
}

std::u16string& TextField(ConversionParameters& params, const ParameterKey& key) {
  assert(!IsIntKind(key));
  return key.textField != nullptr ? params.*(key.textField) : (params.*(key.textSlots))[key.slot];
}

const std::u16string& TextField(const ConversionParameters& params, const ParameterKey& key) {
  assert(!IsIntKind(key));
  return key.textField != nullptr ? params.*(key.textField) : (params.*(key.textSlots))[key.slot];
}

int32_t NormalizeStoredInt(const ParameterKey& key, int32_t stored) {
  if (key.kind == ParameterKind::Flag) return stored & 1;
  if (stored >= key.minValue && stored <= key.maxValue) return stored;
  if (key.outOfRange == OutOfRange::UseDefault) {
    static const ConversionParameters kDefaults;
    return IntField(kDefaults, key);
  }
  return stored < key.minValue ? key.minValue : key.maxValue;
}

bool SetConversionParameter(ConversionParameters& params, std::u16string_view key,
                            std::u16string_view value) {
  const ParameterKey* k = FindConversionParameterKey(key);
  if (k == nullptr) return false;
  if (IsIntKind(*k)) {
    int32_t number = 0;
    if (!ParseSettingInt(value, number) || number < k->minValue || number > k->maxValue) return false;
    IntField(params, *k) = number;
    return true;
  }
  if (k->kind == ParameterKind::Text && !IsStorableIniValue(value)) return false;
  if (CheckNameSetting(k->key, value) != NameProblem::None) return false;
  TextField(params, *k) = std::u16string(value);
  return true;
}

NameProblem CheckNameSetting(std::u16string_view key, std::u16string_view value) {
  if (EqualsIgnoreCaseAscii(key, u"TopStr") || EqualsIgnoreCaseAscii(key, u"EndStr")) {
    return CheckNamePiece(value);
  }
  if (EqualsIgnoreCaseAscii(key, u"MkDirStr")) {
    return value.empty() ? NameProblem::None : CheckFileName(value);
  }
  return NameProblem::None;
}

bool FindRefusedNameSetting(const ConversionParameters& params, RefusedSetting& refused) {
  const struct {
    int32_t used;
    std::u16string_view key;
    const std::u16string& value;
  } kInUse[] = {
      {params.TopAdd, u"TopStr", params.TopStr},
      {params.EndAdd, u"EndStr", params.EndStr},
      {params.MkDirAdd, u"MkDirStr", params.MkDirStr},
  };
  for (const auto& setting : kInUse) {
    if (setting.used == 0) continue;
    const NameProblem problem = CheckNameSetting(setting.key, setting.value);
    if (problem == NameProblem::None) continue;
    refused = {setting.key, setting.value, problem};
    return true;
  }
  return false;
}

}  // namespace pixlane
