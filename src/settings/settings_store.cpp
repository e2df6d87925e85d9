// Start-up loading of "CvtPrms" and the exit-time save of every section,
// both driven by the key table of conversion_parameters.h.
#include "settings/settings_store.h"

#include <algorithm>

#include "platform/ini_file.h"
#include "settings/settings_limits.h"
#include "settings/stored_text.h"

namespace pixlane {
namespace {

constexpr char16_t kStoredCarriageReturn = 2;
constexpr char16_t kStoredLineFeed = 3;
constexpr char16_t kSkippedOnRead = 27;

// Sections removed at every save: the current three and three that older
// files may still carry.
constexpr std::u16string_view kSectionsRewritten[] = {
    u"Awin", u"SImg", u"Path", kWindowSection, kConversionSection, kFolderListSection,
};

}  // namespace

std::u16string EncodeComment(std::u16string_view comment) {
  std::u16string stored;
  stored.reserve(comment.size() + 1);
  for (char16_t c : comment) {
    if (c == u'\r') {
      c = kStoredCarriageReturn;
    } else if (c == u'\n') {
      c = kStoredLineFeed;
    }
    stored.push_back(c);
  }
  stored.push_back(u'0');
  return stored;
}

std::u16string DecodeComment(std::u16string_view stored) {
  if (!stored.empty()) stored.remove_suffix(1);
  stored = stored.substr(0, std::min(stored.size(), kMaxCommentChars));
  std::u16string comment;
  comment.reserve(stored.size());
  for (char16_t c : stored) {
    if (c == kSkippedOnRead) continue;
    if (c == kStoredCarriageReturn) {
      c = u'\r';
    } else if (c == kStoredLineFeed) {
      c = u'\n';
    }
    comment.push_back(c);
  }
  return comment;
}

void LoadConversionParameters(std::u16string_view iniPath, ConversionParameters& params) {
  IniDocument ini;
  ini.Load(iniPath);
  LoadConversionParameters(ini, params);
}

void LoadConversionParameters(const IniDocument& ini, ConversionParameters& params) {
  const ConversionParameters defaults;
  for (const ParameterKey& key : ConversionParameterKeys()) {
    switch (key.kind) {
      case ParameterKind::Int:
      case ParameterKind::Flag:
        IntField(params, key) = NormalizeStoredInt(
            key, ini.ReadInt(kConversionSection, key.key, IntField(defaults, key)));
        break;
      case ParameterKind::Text:
        TextField(params, key) = ReadStoredText(ini, kConversionSection, key.key,
                                                TextField(defaults, key), kMaxTextChars);
        break;
      case ParameterKind::Comment:
        // Room for a full-length comment plus its appended "0".
        TextField(params, key) = DecodeComment(
            ReadStoredText(ini, kConversionSection, key.key,
                           EncodeComment(TextField(defaults, key)), kMaxCommentChars + 1));
        break;
    }
  }
  // The lossless transform reads and writes JPEG only.
  if (params.JTrans != 0) {
    params.IFmt = 3;
    params.OFmt = 2;
  }
}

bool WriteConversionParameters(IniDocument& ini, const ConversionParameters& params) {
  bool ok = true;
  for (const ParameterKey& key : ConversionParameterKeys()) {
    switch (key.kind) {
      case ParameterKind::Int:
      case ParameterKind::Flag:
        ok &= WriteStoredInt(ini, kConversionSection, key.key, IntField(params, key));
        break;
      case ParameterKind::Text:
        ok &= WriteStoredText(ini, kConversionSection, key.key, TextField(params, key));
        break;
      case ParameterKind::Comment:
        ok &= WriteStoredText(ini, kConversionSection, key.key,
                              EncodeComment(TextField(params, key)));
        break;
    }
  }
  return ok;
}

bool SaveAllSettings(std::u16string_view iniPath, const ConversionParameters& params,
                     const WindowSettings& window) {
  IniDocument ini;
  ini.Load(iniPath);
  for (std::u16string_view section : kSectionsRewritten) ini.DeleteSection(section);
  bool ok = WriteConversionParameters(ini, params);
  ok &= WriteWindowSettings(ini, window);
  // What could be stored is saved even when a value could not.
  return ini.Save() && ok;
}

bool SaveConversionParameters(std::u16string_view iniPath, const ConversionParameters& params) {
  IniDocument ini;
  ini.Load(iniPath);
  ini.DeleteSection(kConversionSection);
  const bool ok = WriteConversionParameters(ini, params);
  return ini.Save() && ok;
}

void ApplyResetRule(const WindowSettings& window, ConversionParameters& params) {
  if (window.Reset == 0) return;
  params.RszOpt = 0;
  params.UsmOpt = 0;
  params.TurOpt = 0;
  params.DepOpt = 0;
  params.Interlace = 0;
  params.Progressive = 0;
  params.CmtOpt = 0;
  params.HgmOpt = 0;
  params.GamOpt = 0;
  params.CrtOpt = 0;
  params.HlsSOpt = 0;
  params.HlsHOpt = 0;
}

void ApplyEditedValueRules(ConversionParameters& params) {
  params.DigitNum = std::clamp(params.DigitNum, 1, 5);
  if (params.RszSize == 0) params.RszOpt = 0;
  if (params.GamVal == 0) params.GamOpt = 0;
  if (params.CrtVal == 0) params.CrtOpt = 0;
  if (params.HlsSVal == 0) params.HlsSOpt = 0;
  if (params.HlsHVal == 0) params.HlsHOpt = 0;
}

void RefreshFromControls(const EditedValues& edited, ConversionParameters& params) {
  params.Level = edited.Level;
  params.Quality = edited.Quality;
  params.LmtVal = edited.LmtVal;
  params.RszSize = edited.RszSize;
  params.DigitNum = edited.DigitNum;
  params.StartNum = edited.StartNum;
  params.TopStr = edited.TopStr;
  params.EndStr = edited.EndStr;
  params.MkDirStr = edited.MkDirStr;
  params.GamVal = edited.GamVal;
  params.CrtVal = edited.CrtVal;
  params.HlsSVal = edited.HlsSVal;
  params.HlsHVal = edited.HlsHVal;
  ApplyEditedValueRules(params);
}

}  // namespace pixlane
