// The fixed message texts, indexed by ErrorMessage.
#include "settings/error_messages.h"

#include <cassert>

namespace pixlane {
namespace {

constexpr MessageText kMessages[kErrorMessageCount] = {
    {u"メモリ確保に失敗しました。", u"Error", MessageIcon::Error},
    {u"ファイル実行に失敗しました。", u"Error", MessageIcon::Error},
    {u"ファイル変換に失敗しました。", u"Error", MessageIcon::Error},
    {u"入力フォルダが無効です。", u"Error", MessageIcon::Error},
    {u"出力フォルダが無効です。", u"Error", MessageIcon::Error},
    {u"フォルダ作成に失敗しました。", u"Error", MessageIcon::Error},
    {u"対象ファイルがありません。", u"Error", MessageIcon::Error},
    {u"入力フォルダの内容が変更されました。\n入力設定を確認してください。", u"Pixlane",
     MessageIcon::Warning},
    {u"HTMLタグ書き込みに失敗しました。", u"Pixlane", MessageIcon::Warning},
};

}  // namespace

const MessageText& ErrorMessageText(ErrorMessage code) {
  const auto index = static_cast<size_t>(code);
  assert(index < std::size(kMessages));
  return kMessages[index < std::size(kMessages) ? index : 0];
}

}  // namespace pixlane
