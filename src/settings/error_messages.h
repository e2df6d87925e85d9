// The program's nine fixed messages: text, title and icon kind, as data.
// Showing them is the front end's job (the Win32 shell: a message box owned
// by the main window, brought to the foreground, OK only; the CLI: the text
// on standard error).
#pragma once

#include <cstdint>
#include <string_view>

namespace pixlane {

enum class ErrorMessage : uint8_t {
  MemoryAllocationFailed = 0,  // "メモリ確保に失敗しました。"
  ProgramStartFailed = 1,      // "ファイル実行に失敗しました。"
  ConversionFailed = 2,        // "ファイル変換に失敗しました。"
  InvalidInputFolder = 3,      // "入力フォルダが無効です。"
  InvalidOutputFolder = 4,     // "出力フォルダが無効です。"
  FolderCreationFailed = 5,    // "フォルダ作成に失敗しました。"
  NoTargetFiles = 6,           // "対象ファイルがありません。"
  InputFolderChanged = 7,      // warning: the input folder's contents changed
  HtmlTagWriteFailed = 8,      // warning: the HTML tag file could not be written
};

inline constexpr int kErrorMessageCount = 9;

enum class MessageIcon : uint8_t { Error, Warning };

struct MessageText {
  std::u16string_view text;  // may hold "\n" line breaks
  std::u16string_view title;
  MessageIcon icon;
};

// The message of `code` (0..8).
const MessageText& ErrorMessageText(ErrorMessage code);

}  // namespace pixlane
