// The window-free rules of the main window and its pages. Control ids come
// from control_ids.h; the Win32 shell shows and enables what these return.
#include "ui/ui_model.h"

#include <algorithm>
#include <array>
#include <limits>

#include "platform/file_system.h"
#include "platform/text.h"
#include "ui/control_ids.h"

namespace pixlane::ui {
namespace {

constexpr int32_t kOFmtBmp = 0;
constexpr int32_t kOFmtPng = 1;
constexpr int32_t kOFmtJpeg = 2;
constexpr int32_t kOFmtGif = 4;
constexpr int32_t kIFmtJpeg = 3;
constexpr int32_t kIFmtExtensions = 6;

// Enabled bit depths and options per output format (BMP, PNG, JPEG, TIFF,
// GIF): 24bit, 8bit, 4bit, 2bit, 1bit, gray, interlace, progressive,
// comment.
constexpr std::array<std::array<bool, 9>, 5> kFormatOptions = {{
    {true, true, true, false, true, false, false, false, false},
    {true, true, true, true, true, true, true, false, true},
    {true, false, false, false, false, true, false, true, true},
    {true, true, true, false, true, true, false, false, false},
    {false, true, true, true, true, false, true, false, false},
}};

void Add(std::vector<ControlState>& states, int first, int last, bool visible, bool enabled) {
  for (int id = first; id <= last; ++id) states.push_back({id, visible, enabled});
}

}  // namespace

std::vector<ControlState> EnableRules(const ConversionParameters& p) {
  std::vector<ControlState> states;
  states.reserve(96);
  const bool jtrans = p.JTrans != 0;
  const bool png = !jtrans && p.OFmt == kOFmtPng;
  const bool jpeg = !jtrans && p.OFmt == kOFmtJpeg;
  const bool other = !jtrans && !png && !jpeg;
  Add(states, kIdLevelLabel, kIdLevelNote, png, true);
  Add(states, kIdQualityLabel, kIdQualityUpDown, jpeg, p.Limit == 0);
  Add(states, kIdSamplingLabel, kIdLimit, jpeg, true);
  Add(states, kIdLimitEdit, kIdLimitLabel, jpeg, p.Limit != 0);
  Add(states, kIdFormatNote, kIdFormatNote, other, true);
  Add(states, kIdMarkerLabel, kIdMarker, jtrans, true);

  const size_t row = static_cast<size_t>(std::clamp(p.OFmt, kOFmtBmp, kOFmtGif));
  const std::array<bool, 9>& options = kFormatOptions[row];
  Add(states, kIdDepth0, kIdDepth0, true, true);
  for (int i = 0; i < 6; ++i) Add(states, kIdDepth0 + 1 + i, kIdDepth0 + 1 + i, true, options[static_cast<size_t>(i)]);
  Add(states, kIdInterlace, kIdInterlace, true, options[6]);
  Add(states, kIdProgressive, kIdProgressive, true, options[7]);
  Add(states, kIdComment, kIdCommentEdit, true, options[8]);

  Add(states, kIdResizeLabel, kIdResize, true, !jtrans);
  Add(states, kIdResizeSizeLabel, kIdResizeNote, true, !jtrans && p.RszOpt != 0);
  Add(states, kIdSharpenLabel, kIdSharpen, true, !jtrans);
  Add(states, kIdAutoLevels, kIdAutoLevels, true, !jtrans);
  for (int group : {kIdBrightness, kIdContrast, kIdSaturation, kIdHue}) {
    Add(states, group, group + kCorrectionReset, true, !jtrans);
  }
  Add(states, kIdDigitLabel, kIdStartUpDown, true, p.NameSet == 2);
  Add(states, kIdRecycle, kIdRecycle, true, p.IFileDel != 0);
  Add(states, kIdTopStr, kIdTopStr, true, p.TopAdd != 0);
  Add(states, kIdEndStr, kIdEndStr, true, p.EndAdd != 0);
  Add(states, kIdMkDirStr, kIdMkDirStr, true, p.MkDirAdd != 0);
  Add(states, kIdSelExt0, kIdSelExt0 + 3, true, p.IFmt == kIFmtExtensions);
  Add(states, kIdExtStr0, kIdExtStr0 + 3, true, p.IFmt == kIFmtExtensions);
  return states;
}

const ControlState* FindControlState(std::span<const ControlState> states, int id) {
  for (const ControlState& state : states) {
    if (state.id == id) return &state;
  }
  return nullptr;
}

std::u16string DetailSummaryText(const ConversionParameters& p) {
  std::u16string text;
  auto add = [&text](std::u16string_view part) {
    if (!text.empty()) text += u", ";
    text += part;
  };
  if (p.DepOpt != 0) add(u"ビット深度");
  if (p.JTrans != 0) {
    if (p.Progressive != 0) add(u"プログレッシブ");
    if (p.CmtOpt != 0) add(u"コメント");
  } else {
    if ((p.OFmt == kOFmtPng || p.OFmt == kOFmtGif) && p.Interlace != 0) add(u"インターレース");
    if (p.OFmt == kOFmtJpeg && p.Progressive != 0) add(u"プログレッシブ");
    if (p.HgmOpt != 0) add(u"自動補正");
    if (p.GamOpt != 0) add(u"明るさ");
    if (p.CrtOpt != 0) add(u"コントラスト");
    if (p.HlsSOpt != 0) add(u"彩度");
    if (p.HlsHOpt != 0) add(u"色相");
  }
  if (text.empty()) text = u"設定なし";
  return text;
}

FormatChange ChangeInputFormat(ConversionParameters& p, int32_t inputFormat) {
  FormatChange change;
  change.inputFormatChanged = p.IFmt != inputFormat;
  p.IFmt = inputFormat;
  if (p.JTrans != 0) {
    p.JTrans = 0;
    change.jpegTransformCleared = true;
  }
  return change;
}

FormatChange ChangeOutputFormat(ConversionParameters& p, int32_t outputFormat) {
  FormatChange change;
  p.OFmt = outputFormat;
  if (p.JTrans != 0) {
    p.JTrans = 0;
    change.jpegTransformCleared = true;
  }
  p.DepOpt = 0;
  change.depthReset = true;
  return change;
}

FormatChange ChangeJpegTransform(ConversionParameters& p, bool on) {
  FormatChange change;
  change.jpegTransformCleared = p.JTrans != 0 && !on;
  p.JTrans = on ? 1 : 0;
  change.inputFormatChanged = p.IFmt != kIFmtJpeg;
  p.IFmt = kIFmtJpeg;
  p.OFmt = kOFmtJpeg;
  p.DepOpt = 0;
  change.depthReset = true;
  return change;
}

int SamplingRadioId(int32_t sampling) { return sampling == 2 ? kIdSampling11 : kIdSampling41; }

int32_t ParseEditNumber(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  const size_t digitsStart = i;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = std::min<int64_t>(value * 10 + (text[i] - u'0'), int64_t{1} << 32);
  }
  if (i == digitsStart || i != text.size()) return 0;
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

void CorrectionRange(NumberField field, int32_t& minValue, int32_t& maxValue) {
  switch (field) {
    case NumberField::Saturation: minValue = -255; maxValue = 255; return;
    case NumberField::Hue: minValue = -180; maxValue = 180; return;
    default: minValue = -100; maxValue = 100; return;
  }
}

int32_t CorrectionTrackPosition(NumberField field, std::u16string_view text) {
  int32_t minValue = 0;
  int32_t maxValue = 0;
  CorrectionRange(field, minValue, maxValue);
  return std::clamp(ParseEditNumber(text), minValue, maxValue);
}

std::optional<std::u16string> ValidatedNumberText(NumberField field, std::u16string_view text) {
  const int32_t value = ParseEditNumber(text);
  int32_t clamped = value;
  switch (field) {
    case NumberField::Quality: clamped = std::clamp(value, 1, 100); break;
    case NumberField::DigitNum: clamped = std::clamp(value, 1, 5); break;
    case NumberField::StartNum:
      if (text.empty()) return std::u16string(u"0");
      return std::nullopt;
    default: clamped = CorrectionTrackPosition(field, text); break;
  }
  const std::u16string written = Utf8ToUtf16(std::to_string(clamped));
  if (written == text) return std::nullopt;
  return written;
}

ExtensionEdit ApplyExtensionEdit(ConversionParameters& p, size_t slot, std::u16string_view text) {
  if (slot >= p.ExtStr.size() || p.ExtStr[slot] == text) return ExtensionEdit::Unchanged;
  if (!text.empty()) {
    for (size_t other = 0; other < p.ExtStr.size(); ++other) {
      if (other != slot && EqualsIgnoreCaseAscii(p.ExtStr[other], text)) {
        p.ExtStr[slot].clear();
        return ExtensionEdit::ClearedDuplicate;
      }
    }
  }
  p.ExtStr[slot] = text;
  return ExtensionEdit::Stored;
}

CommandLineMode DecideCommandLineMode(bool sendToConverts, size_t argumentCount,
                                      bool singleArgumentIsDirectory) {
  if (sendToConverts && (argumentCount > 1 || !singleArgumentIsDirectory)) {
    return CommandLineMode::Convert;
  }
  return CommandLineMode::Open;
}

std::vector<bool> HandedOverChecks(std::span<const std::u16string> listNames,
                                   std::span<const std::u16string> argumentPaths, NameEquals equals) {
  std::vector<bool> checks(listNames.size(), false);
  for (size_t i = 0; i < listNames.size(); ++i) {
    for (const std::u16string& path : argumentPaths) {
      if (equals(listNames[i], FileNamePart(path))) {
        checks[i] = true;
        break;
      }
    }
  }
  return checks;
}

std::u16string CleanFolderText(std::u16string_view text) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\u3000'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') {
    text = text.substr(1, text.size() - 2);
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  }
  auto separator = [](char16_t c) { return c == u'\\' || c == u'/'; };
  while (text.size() > 1 && separator(text.back())) {
    const std::u16string_view rest = text.substr(0, text.size() - 1);
    if (rest.size() == 2 && rest[1] == u':') break;  // a drive root such as C:\ stays
    if (std::all_of(rest.begin(), rest.end(), separator)) break;  // so does a lone UNC start
    text = rest;
  }
  return std::u16string(text);
}

InputBoxState ClassifyInputBox(std::u16string_view cleanedText, std::u16string_view listedFolder,
                               bool isDirectory) {
  if (cleanedText == listedFolder) return InputBoxState::Listed;
  return isDirectory && !cleanedText.empty() ? InputBoxState::OtherFolder : InputBoxState::NotAFolder;
}

std::u16string_view FolderFieldText(std::u16string_view folder, bool isSendToOutput) {
  if (!folder.empty()) return folder;
  return isSendToOutput ? u"<入力ファイルと同じフォルダ>" : u"<指定なし>";
}

DropTarget RouteDrop(std::span<const int> idChain, bool insideTabControl) {
  auto contains = [&idChain](int id) {
    return std::find(idChain.begin(), idChain.end(), id) != idChain.end();
  };
  // The combo boxes' edit children carry id 1001 like the tree: the boxes
  // are matched by their own ids first, the tree only below its panel.
  if (contains(kIdInputFolder)) return DropTarget::InputFolderBox;
  if (contains(kIdOutputFolder)) return DropTarget::OutputFolderBox;
  if (!idChain.empty()) {
    switch (idChain.front()) {
      case kIdStartInputField: return DropTarget::StartInputField;
      case kIdStartOutputField: return DropTarget::StartOutputField;
      case kIdSendToOutputField: return DropTarget::SendToOutputField;
      case kIdPluginFolder: return DropTarget::PluginFolderField;
      default: break;
    }
  }
  if (contains(kIdFolderTree) && contains(kIdTreePanel)) return DropTarget::FolderTree;
  if (insideTabControl) return DropTarget::TabControl;
  return DropTarget::Nowhere;
}

bool TabDropSetsInputFolder(size_t droppedCount, bool firstIsDirectory) {
  return droppedCount == 1 && firstIsDirectory;
}

int32_t ScaleToDpi(int32_t value, uint32_t dpi) {
  if (dpi == 0) return value;
  const int64_t product = static_cast<int64_t>(value) * dpi;
  const int64_t half = product >= 0 ? 48 : -48;
  return static_cast<int32_t>(std::clamp<int64_t>((product + half) / 96, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

ScreenRect ClampToWorkArea(ScreenRect w, const ScreenRect& area) {
  const int32_t width = w.right - w.left;
  const int32_t height = w.bottom - w.top;
  if (w.right > area.right) w.left = area.right - width;
  if (w.bottom > area.bottom) w.top = area.bottom - height;
  if (w.left < area.left) w.left = area.left;
  if (w.top < area.top) w.top = area.top;
  w.right = w.left + width;
  w.bottom = w.top + height;
  return w;
}

uint32_t HelpContextForTab(int tabIndex) {
  if (tabIndex < 0 || tabIndex >= static_cast<int>(std::size(kHelpContextTabs))) return kHelpContextOverview;
  return kHelpContextTabs[tabIndex];
}

}  // namespace pixlane::ui
