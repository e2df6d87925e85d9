// The main window's rules that need no window: which page controls are
// shown and enabled for the current settings, the detail summary line, the
// number-edit clamping, the extension slots, the format-change rules, the
// command-line mode, drop routing, the input folder box against the listed
// folder, the window's placement on a monitor and the help topic of each
// tab page.
// Everything here is portable so that the Linux tests reach it; the Win32
// shell applies the results to its controls.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/conversion_parameters.h"
#include "settings/window_settings.h"

namespace pixlane::ui {

struct ControlState {
  int id = 0;
  bool visible = true;
  bool enabled = true;
};

// The show and enable state of every control the rules govern (format
// options, bit depths, transform, correction, naming, deletion, the three
// naming edits and the extension slots), one entry per control id.
std::vector<ControlState> EnableRules(const ConversionParameters& params);
// The entry for `id` in `states`, or null when the rules leave it alone.
const ControlState* FindControlState(std::span<const ControlState> states, int id);

// The read-only summary of the "詳細設定" page ("設定なし" when empty).
std::u16string DetailSummaryText(const ConversionParameters& params);

// Which combo or check box a format change touched: the shell updates the
// mirrored controls from `params` afterwards.
struct FormatChange {
  bool jpegTransformCleared = false;  // JTrans was on and is now off
  bool inputFormatChanged = false;    // IFmt differs: re-list the input folder
  bool depthReset = false;            // DepOpt returned to "指定なし"
};
// "IFmt" chosen in 1102 or 1222.
FormatChange ChangeInputFormat(ConversionParameters& params, int32_t inputFormat);
// "OFmt" chosen in 1104 or 1302.
FormatChange ChangeOutputFormat(ConversionParameters& params, int32_t outputFormat);
// "JPEG変換" checked or cleared in 1105 or 1303: both formats become JPEG.
FormatChange ChangeJpegTransform(ConversionParameters& params, bool on);

// The radio button that shows "Sampling": 1125 ("1:1") for 2, else 1124.
int SamplingRadioId(int32_t sampling);

// Number edits validated on leaving them.
enum class NumberField { Quality, DigitNum, StartNum, Brightness, Contrast, Saturation, Hue };
// The value of an edit's text as GetDlgItemInt reads it with signs: an
// optional sign then decimal digits; anything else (or nothing) is 0.
// Saturates at the int32 range.
int32_t ParseEditNumber(std::u16string_view text);
// The text to write back when the edit loses the focus, or nothing when the
// text stays as typed.
std::optional<std::u16string> ValidatedNumberText(NumberField field, std::u16string_view text);
// The track bar position that follows a correction edit while typing.
int32_t CorrectionTrackPosition(NumberField field, std::u16string_view text);
// The range of a correction value (Brightness, Contrast, Saturation, Hue).
void CorrectionRange(NumberField field, int32_t& minValue, int32_t& maxValue);

// An extension edit (slot 0..3) that lost the focus with `text`.
enum class ExtensionEdit {
  Unchanged,         // same as stored: nothing to do
  Stored,            // stored; re-list the input folder
  ClearedDuplicate,  // equals another slot: edit and setting cleared; re-list
};
ExtensionEdit ApplyExtensionEdit(ConversionParameters& params, size_t slot, std::u16string_view text);

// What the command line asks for: convert the given paths and close, or
// open the main window on them.
enum class CommandLineMode { Convert, Open };
CommandLineMode DecideCommandLineMode(bool sendToConverts, size_t argumentCount,
                                      bool singleArgumentIsDirectory);

// Open mode with files: which entries of the input list stay checked —
// those whose name equals one of the handed-over file names.
using NameEquals = bool (*)(std::u16string_view, std::u16string_view);
std::vector<bool> HandedOverChecks(std::span<const std::u16string> listNames,
                                   std::span<const std::u16string> argumentPaths, NameEquals equals);

// The input folder box's text as a folder path: blanks around it and one
// pair of enclosing double quotes (Explorer's "Copy as path") removed, and
// trailing separators dropped unless they end a root (C:\ or \).
std::u16string CleanFolderText(std::u16string_view text);

// The input folder box against the folder the input list was built from.
// The names of the list are joined to the box's folder when a batch runs,
// so the two must never disagree: a text naming another folder is listed
// before anything runs.
enum class InputBoxState {
  Listed,       // the box names the listed folder (compared exactly)
  OtherFolder,  // the box names another existing folder: list it
  NotAFolder,   // the box names no existing folder
};
// `cleanedText` comes from CleanFolderText; `isDirectory` says whether it
// names an existing folder.
InputBoxState ClassifyInputBox(std::u16string_view cleanedText, std::u16string_view listedFolder,
                               bool isDirectory);

// The folder a start-up or Send To folder field shows.
std::u16string_view FolderFieldText(std::u16string_view folder, bool isSendToOutput);

// Where a drop landed.
enum class DropTarget {
  InputFolderBox,
  OutputFolderBox,
  StartInputField,    // ISPath
  StartOutputField,   // OSPath
  SendToOutputField,  // SdToPath
  PluginFolderField,  // SPI
  FolderTree,
  TabControl,  // dropped on a page: convert, or open a single folder
  Nowhere,
};
// `idChain` holds the control ids of the window under the drop point and of
// its ancestors, innermost first; `insideTabControl` whether the point lies
// in the tab control's rectangle.
DropTarget RouteDrop(std::span<const int> idChain, bool insideTabControl);
// A drop on the pages sets the input folder when it is one folder alone.
bool TabDropSetsInputFolder(size_t droppedCount, bool firstIsDirectory);

// Layout sizes are given for 96 DPI: `value` at `dpi`, rounded to the
// nearest pixel (halves away from zero, as MulDiv does).
int32_t ScaleToDpi(int32_t value, uint32_t dpi);

struct ScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};
// Moves `window` into `workArea`: a right or bottom edge outside moves the
// window back; then a left or top edge outside moves it to the area's edge
// (so a window larger than the area keeps its caption visible).
ScreenRect ClampToWorkArea(ScreenRect window, const ScreenRect& workArea);

// The help file's context numbers: the overview, and one topic per tab page
// ("全般", "個別入力", "詳細設定", "オプション", "プラグイン"). The help
// project's map (docs/help) holds the same numbers.
inline constexpr uint32_t kHelpContextOverview = 2;
inline constexpr uint32_t kHelpContextTabs[] = {14, 16, 18, 20, 22};
// The context of the tab page at `tabIndex` (the tab control's selection,
// -1 when none is selected); the overview for anything but 0..4.
uint32_t HelpContextForTab(int tabIndex);

}  // namespace pixlane::ui
