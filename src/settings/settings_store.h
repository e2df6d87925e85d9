// Loading the conversion settings at start-up and saving every setting at
// exit, with the rules applied between the two: the "Reset" rule and the
// value rules of the edited controls. The store reads the file once per
// load and replaces it in one step per save (IniDocument); nothing here
// shows or prints anything.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ini_file.h"
#include "settings/conversion_parameters.h"
#include "settings/window_settings.h"

namespace pixlane {

// The stored form of the comment: carriage return becomes character 2, line
// feed character 3, and a "0" is appended so that the value never ends in
// blanks (which the INI rules would trim).
std::u16string EncodeComment(std::u16string_view comment);
// The reverse: the last character is dropped, at most 10,000 characters
// are decoded, character 27 is skipped, 2 and 3 become CR and LF.
std::u16string DecodeComment(std::u16string_view stored);

// Reads "CvtPrms" into `params`: every key of the table with its default;
// flags keep bit 0; integers outside their range are clamped or replaced by
// the default (so "IFmt" 7 or more, or negative, gives 0 and "OFmt" 6 or
// more gives 2); "JTrans" set forces "IFmt" 3 and "OFmt" 2.
void LoadConversionParameters(const IniDocument& ini, ConversionParameters& params);
// The same after reading the file once (defaults when it is missing, too
// large or unreadable).
void LoadConversionParameters(std::u16string_view iniPath, ConversionParameters& params);

// Writes "CvtPrms" into the document: every key in table order, the comment
// encoded. The section must have been deleted first. False when a value
// could not be stored.
bool WriteConversionParameters(IniDocument& ini, const ConversionParameters& params);

// Rewrites the settings file in one step: deletes the sections "Awin",
// "SImg", "Path", "MWin", "CvtPrms" and "FolderList", then writes
// "CvtPrms", "MWin" and "FolderList" in their fixed order. Other sections
// are kept. False, with the old file unchanged, when it could not be
// written completely, or when it is too large (over 1 MiB) or unreadable:
// such a file is never overwritten (the front end decides whether to tell
// the user).
bool SaveAllSettings(std::u16string_view iniPath, const ConversionParameters& params,
                     const WindowSettings& window);

// Rewrites "CvtPrms" alone (delete, then write), leaving the window
// sections as they are: for a front end without a main window (the CLI).
// Same guarantees as SaveAllSettings.
bool SaveConversionParameters(std::u16string_view iniPath, const ConversionParameters& params);

// At exit, when "Reset" is set: switches off the per-run options (RszOpt,
// UsmOpt, TurOpt, DepOpt, Interlace, Progressive, CmtOpt, HgmOpt, GamOpt,
// CrtOpt, HlsSOpt, HlsHOpt); values, sizes, quality and naming are kept.
void ApplyResetRule(const WindowSettings& window, ConversionParameters& params);

// The values edited in place in the main window's controls.
struct EditedValues {
  int32_t Level = 9;
  int32_t Quality = 75;
  int32_t LmtVal = 100;
  int32_t RszSize = 100;
  int32_t DigitNum = 2;
  int32_t StartNum = 0;
  std::u16string TopStr;
  std::u16string EndStr;
  std::u16string MkDirStr;
  int32_t GamVal = 0;
  int32_t CrtVal = 0;
  int32_t HlsSVal = 0;
  int32_t HlsHVal = 0;
};

// The rules applied to edited values: DigitNum clamped to 1..5; RszSize 0
// switches RszOpt off; a GamVal, CrtVal, HlsSVal or HlsHVal of 0 clears its
// switch. The front end then shows the switches as they are in `params`.
void ApplyEditedValueRules(ConversionParameters& params);

// Copies the edited values into `params` and applies the rules above
// (called at the start of each batch and at exit).
void RefreshFromControls(const EditedValues& edited, ConversionParameters& params);

}  // namespace pixlane
