// The five tab pages: their controls created from the settings, the option
// handler that writes every change into the settings records (with the
// mirrored controls, format rules, number validation and extension slots),
// the show/enable rules and the detail summary applied to the controls.
// The rules themselves are in ui_model.cpp.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <string>
#include <unordered_map>

#include "platform/text.h"
#include "settings/settings_store.h"
#include "ui/control_ids.h"
#include "ui/folder_tree.h"
#include "ui/ui_app.h"
#include "ui/ui_model.h"

namespace pixlane::ui {
namespace {

std::unordered_map<int, HWND> g_controls;
WNDPROC g_listProc = nullptr;
HWND g_subclassedLists[2] = {};
bool g_propagatingChecks = false;
// What the tab control draws under the pages (its themed body, or the
// button face without visual styles), as a pattern brush aligned with the
// page: the pages and the controls on them paint their background with it.
HBITMAP g_pageBitmap = nullptr;
HBRUSH g_pageBrush = nullptr;

const wchar_t* const kInputFormats[] = {L"すべて", L"BMP", L"PNG", L"JPEG", L"TIFF", L"GIF", L"特定"};
const wchar_t* const kOutputFormats[] = {L"BMP", L"PNG", L"JPEG", L"TIFF", L"GIF"};

HWND Make(HWND page, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y, int w, int h,
          int id, DWORD exStyle = 0) {
  HWND control = CreateControl(page, className, text, style, x, y, w, h, id, exStyle);
  if (id > 0) g_controls[id] = control;
  return control;
}
HWND Label(HWND page, const wchar_t* text, int x, int y, int w, int id) {
  return Make(page, WC_STATICW, text, SS_LEFT | SS_NOPREFIX, x, y, w, 14, id);
}
HWND Group(HWND page, const wchar_t* text, int x, int y, int w, int h, int id) {
  return Make(page, WC_BUTTONW, text, BS_GROUPBOX, x, y, w, h, id);
}
HWND Check(HWND page, const wchar_t* text, int x, int y, int w, int id, int32_t value) {
  HWND box = Make(page, WC_BUTTONW, text, BS_AUTOCHECKBOX | WS_TABSTOP, x, y, w, 16, id);
  SendMessageW(box, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
  return box;
}
HWND Radio(HWND page, const wchar_t* text, int x, int y, int w, int id, bool first, bool checked) {
  HWND radio = Make(page, WC_BUTTONW, text, BS_AUTORADIOBUTTON | (first ? WS_GROUP | WS_TABSTOP : 0), x, y, w, 16, id);
  SendMessageW(radio, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  return radio;
}
HWND Combo(HWND page, int x, int y, int w, int id, const wchar_t* const* items, int count, int32_t selected) {
  HWND combo = Make(page, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, x, y, w, 200, id);
  for (int i = 0; i < count; ++i) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i]));
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
  return combo;
}
HWND Edit(HWND page, const std::u16string& text, int x, int y, int w, int id, DWORD style, int limit) {
  HWND edit = Make(page, WC_EDITW, W(text), ES_AUTOHSCROLL | WS_TABSTOP | style, x, y, w, 20, id, WS_EX_CLIENTEDGE);
  if (limit > 0) SendMessageW(edit, EM_SETLIMITTEXT, static_cast<WPARAM>(limit), 0);
  return edit;
}
std::u16string Number(int32_t value) { return Utf8ToUtf16(std::to_string(value)); }
HWND NumberEdit(HWND page, int32_t value, int x, int y, int w, int id, int digits, DWORD extra = ES_NUMBER) {
  return Edit(page, Number(value), x, y, w, id, extra, digits);
}
HWND UpDown(HWND page, HWND buddy, int id, int low, int high) {
  HWND upDown = Make(page, UPDOWN_CLASSW, L"", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                     0, 0, 0, 0, id);
  SendMessageW(upDown, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
  SendMessageW(upDown, UDM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
  return upDown;
}
HWND Button(HWND page, const wchar_t* text, int x, int y, int w, int id) {
  return Make(page, WC_BUTTONW, text, BS_PUSHBUTTON | WS_TABSTOP, x, y, w, 22, id);
}

void Tip(int id, const wchar_t* text) { AddTooltip(Control(id), text); }

LRESULT CALLBACK ListSubclassProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONDBLCLK && list == g_app.pluginList) OpenSelectedPluginSettings();
  const LRESULT result = CallWindowProcW(g_listProc, list, message, wParam, lParam);
  if (message == WM_VSCROLL && LOWORD(wParam) == SB_ENDSCROLL) {
    InvalidateRect(list, nullptr, TRUE);
    UpdateWindow(list);
  }
  return result;
}

void SubclassList(HWND list, int slot) {
  WNDPROC previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListSubclassProc)));
  if (!g_listProc) g_listProc = previous;
  g_subclassedLists[slot] = list;
}

HWND NewPage(HWND tab, int index) {
  HWND page = CreateWindowExW(WS_EX_CONTROLPARENT, kTabBaseClass, L"", WS_CHILD | WS_CLIPSIBLINGS, Scaled(5),
                              Scaled(25), Scaled(520), Scaled(358), tab, nullptr, g_app.instance, nullptr);
  g_app.pages[index] = page;
  return page;
}

void CreateGeneralPage(HWND tab) {
  const ConversionParameters& p = g_app.params;
  HWND page = NewPage(tab, 0);
  Group(page, L"フォーマット", 5, 0, 510, 46, kIdFormatGroup);
  Label(page, L"入力", 15, 20, 28, kIdInputFormatLabel);
  Combo(page, 45, 16, 80, kIdInputFormat, kInputFormats, 7, p.IFmt);
  Label(page, L"出力", 140, 20, 28, kIdOutputFormatLabel);
  Combo(page, 170, 16, 80, kIdOutputFormat, kOutputFormats, 5, p.OFmt);
  Check(page, L"JPEG変換 (入出力ともにJPEG)", 270, 18, 235, kIdJpegTransform, p.JTrans);

  Group(page, L"フォーマットオプション", 5, 48, 510, 48, kIdFormatOptionsGroup);
  Label(page, L"圧縮レベル", 15, 70, 58, kIdLevelLabel);
  UpDown(page, NumberEdit(page, p.Level, 75, 66, 30, kIdLevelEdit, 1), kIdLevelUpDown, 0, 9);
  Label(page, L"※0(無圧縮)～9(高圧縮)", 120, 70, 200, kIdLevelNote);
  Label(page, L"画質", 15, 70, 28, kIdQualityLabel);
  UpDown(page, NumberEdit(page, p.Quality, 45, 66, 42, kIdQualityEdit, 3), kIdQualityUpDown, 1, 100);
  Label(page, L"サンプル比", 95, 70, 64, kIdSamplingLabel);
  Radio(page, L"4:1", 160, 69, 42, kIdSampling41, true, p.Sampling != 2);
  Radio(page, L"1:1", 204, 69, 42, kIdSampling11, false, p.Sampling == 2);
  Check(page, L"ファイルサイズ指定", 252, 69, 118, kIdLimit, p.Limit);
  UpDown(page, NumberEdit(page, p.LmtVal, 372, 66, 50, kIdLimitEdit, 4), kIdLimitUpDown, 1, 32767);
  Label(page, L"KB 以下", 428, 70, 60, kIdLimitLabel);
  Label(page, L"セグメント", 15, 70, 58, kIdMarkerLabel);
  const wchar_t* markers[] = {L"すべて破棄", L"コメントのみ保持", L"すべて保持"};
  Combo(page, 75, 66, 140, kIdMarker, markers, 3, p.Marker);
  Label(page, L"※出力形式に対応するものが表示されます", 15, 70, 300, kIdFormatNote);

  Group(page, L"変形オプション", 5, 98, 510, 70, kIdTransformGroup);
  const wchar_t* resize[] = {L"なし", L"横", L"縦", L"長辺"};
  Label(page, L"縮小", 15, 119, 28, kIdResizeLabel);
  Combo(page, 45, 115, 60, kIdResize, resize, 4, p.RszOpt);
  Label(page, L"サイズ", 118, 119, 34, kIdResizeSizeLabel);
  NumberEdit(page, p.RszSize, 152, 115, 46, kIdResizeSizeEdit, 4);
  Label(page, L"ピクセル", 202, 119, 44, kIdResizeUnitLabel);
  Label(page, L"※縦横比率は保持されます", 255, 119, 200, kIdResizeNote);
  const wchar_t* sharpen[] = {L"なし", L"弱", L"中", L"強"};
  Label(page, L"輪郭強調", 15, 144, 52, kIdSharpenLabel);
  Combo(page, 70, 140, 60, kIdSharpen, sharpen, 4, p.UsmOpt);
  const wchar_t* rotate[] = {L"なし", L"90度", L"180度", L"270度"};
  Label(page, L"回転", 150, 144, 28, kIdRotateLabel);
  Combo(page, 180, 140, 70, kIdRotate, rotate, 4, p.TurOpt);

  Group(page, L"出力ファイル", 5, 170, 510, 130, kIdOutputFileGroup);
  Radio(page, L"入力名基準", 15, 188, 90, kIdNameByInput, true, p.NameSet == 0);
  Radio(page, L"Exif 日付優先", 108, 188, 100, kIdNameByExif, false, p.NameSet == 1);
  Radio(page, L"連番", 212, 188, 50, kIdNameBySerial, false, p.NameSet == 2);
  Label(page, L"桁", 268, 190, 14, kIdDigitLabel);
  UpDown(page, NumberEdit(page, p.DigitNum, 284, 186, 34, kIdDigitEdit, 1), kIdDigitUpDown, 1, 5);
  Label(page, L"始番", 330, 190, 28, kIdStartLabel);
  UpDown(page, NumberEdit(page, p.StartNum, 360, 186, 56, kIdStartEdit, 4), kIdStartUpDown, 0, 9999);
  Check(page, L"先頭文字", 15, 214, 82, kIdTopAdd, p.TopAdd);
  Edit(page, p.TopStr, 100, 212, 120, kIdTopStr, 0, 20);
  Check(page, L"末尾文字", 15, 240, 82, kIdEndAdd, p.EndAdd);
  Edit(page, p.EndStr, 100, 238, 120, kIdEndStr, 0, 20);
  Check(page, L"サブフォルダ", 15, 266, 82, kIdMkDirAdd, p.MkDirAdd);
  Edit(page, p.MkDirStr, 100, 264, 120, kIdMkDirStr, 0, 20);
  Check(page, L"HTMLタグ出力（400px以下の出力画像）", 240, 214, 270, kIdHtmlTag, p.HtmlTag);
  Check(page, L"入力ファイル削除", 240, 240, 120, kIdDeleteInput, p.IFileDel);
  Check(page, L"ごみ箱へ移動", 365, 240, 120, kIdRecycle, p.Recycle);

  Label(page, L"詳細設定", 10, 313, 56, kIdSummaryLabel);
  Edit(page, u"", 70, 309, 440, kIdSummary, ES_READONLY, 0);

  Tip(kIdQualityEdit, L"1（高圧縮/低画質）～100（無圧縮/高画質）");
  Tip(kIdLimit, L"画質が自動調整されます");
  Tip(kIdResizeSizeEdit, L"縮小後サイズ");
  Tip(kIdStartEdit, L"連番開始番号");
  Tip(kIdRecycle, L"削除される入力ファイルをごみ箱へ移動します");
  Tip(kIdTopAdd, L"出力ファイル名の先頭に文字列を付加します");
  Tip(kIdEndAdd, L"出力ファイル名の末尾に文字列を追加します");
  Tip(kIdMkDirAdd, L"出力先にフォルダを作成して保存します");
  Tip(kIdHtmlTag, L"<img>タグを作成して出力フォルダに保存します");
}

void CreateInputPage(HWND tab) {
  const ConversionParameters& p = g_app.params;
  HWND page = NewPage(tab, 1);
  Label(page, L"入力", 5, 8, 28, kIdInputFormat2Label);
  Combo(page, 35, 4, 80, kIdInputFormat2, kInputFormats, 7, p.IFmt);
  Label(page, L"（全般タブ連動）", 120, 8, 110, kIdLinkedNote1);
  g_app.inputList = Make(page, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP, 5, 30, 282, 296,
                         kIdInputList, WS_EX_CLIENTEDGE);
  ListView_SetExtendedListViewStyle(g_app.inputList, LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  struct Column {
    const wchar_t* title;
    int width;
    int format;
  } columns[] = {{L"ファイル名", 134, LVCFMT_LEFT}, {L"サイズ", 63, LVCFMT_RIGHT}, {L"更新日時", 78, LVCFMT_LEFT}};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.pszText = const_cast<wchar_t*>(columns[i].title);
    column.cx = Scaled(columns[i].width);
    column.fmt = columns[i].format;
    SendMessageW(g_app.inputList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  SubclassList(g_app.inputList, 0);
  AddTooltip(g_app.inputList, L"選択でプレビュー画像表示");

  Group(page, L"拡張子（特定）", 295, 0, 220, 62, kIdExtensionGroup);
  for (int i = 0; i < 4; ++i) {
    const int x = 303 + i * 53;
    Check(page, L"", x, 32, 14, kIdSelExt0 + i, p.SelExt[static_cast<size_t>(i)]);
    Edit(page, p.ExtStr[static_cast<size_t>(i)], x + 15, 30, 36, kIdExtStr0 + i, ES_LOWERCASE, 8);
  }
  HWND preview = Make(page, kInputPreviewClass, L"", 0, 305, 68, 202, 202, kIdPreviewBox, WS_EX_STATICEDGE);
  AddTooltip(preview, L"プレビュー画像クリックで関連付けプログラム起動");
  Make(page, WC_STATICW, L"", SS_CENTER | SS_NOPREFIX, 295, 276, 220, 14, kIdPreviewName);
  Make(page, WC_STATICW, L"", SS_CENTER | SS_NOPREFIX, 295, 294, 220, 14, kIdPreviewInfo);
  Label(page, L"全チェックボックス", 5, 336, 100, kIdAllChecksLabel);
  Button(page, L"ON", 105, 332, 40, kIdAllOn);
  Button(page, L"OFF", 148, 332, 40, kIdAllOff);
  Label(page, L"総ファイル数:", 200, 336, 72, kIdCountLabel);
  Label(page, L"0", 274, 336, 60, kIdCount);
}

void CreateCorrectionRow(HWND page, int group, const wchar_t* text, int y, int32_t on, int32_t value, int low,
                         int high) {
  Check(page, text, 15, y, 100, group, on);
  HWND edit = Edit(page, Number(value), 120, y - 2, 48, group + kCorrectionEdit, 0, 4);
  UpDown(page, edit, group + kCorrectionUpDown, low, high);
  HWND track = Make(page, TRACKBAR_CLASSW, L"", TBS_NOTICKS | TBS_FIXEDLENGTH | WS_TABSTOP, 178, y - 4, 260, 24,
                    group + kCorrectionTrack, WS_EX_STATICEDGE);
  SendMessageW(track, TBM_SETTHUMBLENGTH, static_cast<WPARAM>(Scaled(16)), 0);
  SendMessageW(track, TBM_SETRANGEMIN, FALSE, low);
  SendMessageW(track, TBM_SETRANGEMAX, FALSE, high);
  SendMessageW(track, TBM_SETPAGESIZE, 0, 10);
  SendMessageW(track, TBM_SETPOS, TRUE, value);
  Button(page, L"リセット", 446, y - 3, 60, group + kCorrectionReset);
}

void CreateDetailPage(HWND tab) {
  const ConversionParameters& p = g_app.params;
  HWND page = NewPage(tab, 2);
  Label(page, L"出力", 5, 8, 28, kIdOutputFormat2Label);
  Combo(page, 35, 4, 80, kIdOutputFormat2, kOutputFormats, 5, p.OFmt);
  Label(page, L"（全般タブ連動）", 120, 8, 110, kIdLinkedNote2);
  Check(page, L"JPEG変換 (全般タブ連動)", 240, 6, 240, kIdJpegTransform2, p.JTrans);
  Group(page, L"フォーマットオプション", 5, 28, 510, 92, kIdDetailFormatGroup);
  Label(page, L"ビット深度", 15, 47, 60, kIdDepthLabel);
  const wchar_t* depths[] = {L"指定なし", L"24bit", L"8bit", L"4bit", L"2bit", L"1bit", L"8bitグレイスケール"};
  for (int i = 0; i < 7; ++i) {
    const int x = i < 4 ? 80 + i * 80 : 80 + (i - 4) * 80;
    const int y = i < 4 ? 46 : 68;
    Radio(page, depths[i], x, y, i == 6 ? 140 : 76, kIdDepth0 + i, i == 0, p.DepOpt == i);
  }
  Check(page, L"インターレース", 15, 95, 110, kIdInterlace, p.Interlace);
  Check(page, L"プログレッシブ", 130, 95, 110, kIdProgressive, p.Progressive);
  Check(page, L"コメント挿入", 245, 95, 100, kIdComment, p.CmtOpt);
  Button(page, L"作成", 350, 92, 60, kIdCommentEdit);
  Group(page, L"補正オプション", 5, 124, 510, 160, kIdCorrectionGroup);
  Check(page, L"ヒストグラム自動補正", 15, 142, 200, kIdAutoLevels, p.HgmOpt);
  CreateCorrectionRow(page, kIdBrightness, L"明るさ補正", 170, p.GamOpt, p.GamVal, -100, 100);
  CreateCorrectionRow(page, kIdContrast, L"コントラスト", 198, p.CrtOpt, p.CrtVal, -100, 100);
  CreateCorrectionRow(page, kIdSaturation, L"彩度補正", 226, p.HlsSOpt, p.HlsSVal, -255, 255);
  CreateCorrectionRow(page, kIdHue, L"色相補正", 254, p.HlsHOpt, p.HlsHVal, -180, 180);
}

void CreatePluginPage(HWND tab) {
  HWND page = NewPage(tab, 4);
  Label(page, L"フォルダ", 5, 9, 48, kIdPluginLabel);
  Edit(page, g_app.window.SPI, 56, 5, 338, kIdPluginFolder, ES_READONLY, 0);
  Button(page, L"設定", 400, 4, 52, kIdPluginSet);
  Button(page, L"解除", 456, 4, 52, kIdPluginClear);
  g_app.pluginList = Make(page, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SHOWSELALWAYS | WS_TABSTOP, 5, 32, 510, 296,
                          kIdPluginList, WS_EX_CLIENTEDGE);
  ListView_SetExtendedListViewStyle(g_app.pluginList, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  SubclassList(g_app.pluginList, 1);
  SetUpPluginList();
  RefreshPluginList();
  Label(page, L"※個別設定可能な場合は、プラグイン名ダブルクリックでダイアログが表示されます。", 5, 336, 510,
        kIdPluginNote);
  Tip(kIdPluginFolder, L"ドラッグ＆ドロップ設定可");
}

void FolderRow(HWND page, const wchar_t* label, int y, int labelId, int fieldId, int setId, int clearId,
               const std::u16string& value, bool sendTo) {
  Label(page, label, 15, y + 3, 70, labelId);
  Edit(page, std::u16string(FolderFieldText(value, sendTo)), 90, y, 300, fieldId, ES_READONLY, 0);
  Button(page, L"設定", 396, y - 1, 52, setId);
  Button(page, L"解除", 452, y - 1, 52, clearId);
  Tip(fieldId, L"ドラッグ＆ドロップ設定可");
}

void CreateOptionPage(HWND tab) {
  const WindowSettings& w = g_app.window;
  HWND page = NewPage(tab, 3);
  Group(page, L"起動時のフォルダ", 5, 0, 510, 70, kIdStartFolderGroup);
  FolderRow(page, L"入力フォルダ", 18, kIdStartInputLabel, kIdStartInputField, kIdStartInputSet, kIdStartInputClear,
            w.ISPath, false);
  FolderRow(page, L"出力フォルダ", 42, kIdStartOutputLabel, kIdStartOutputField, kIdStartOutputSet,
            kIdStartOutputClear, w.OSPath, false);
  Group(page, L"「送る」メニューから実行時の設定", 5, 74, 510, 94, kIdSendToGroup);
  Check(page, L"「送る」メニューに登録", 15, 92, 200, kIdSendToRegister, SendToShortcutExists() ? 1 : 0);
  Radio(page, L"メインウィンドウを開く", 15, 116, 160, kIdSendToOpen, true, w.SdToCvt == 0);
  Radio(page, L"変換処理後に終了", 180, 116, 160, kIdSendToConvert, false, w.SdToCvt != 0);
  FolderRow(page, L"出力フォルダ", 140, kIdSendToOutputLabel, kIdSendToOutputField, kIdSendToOutputSet,
            kIdSendToOutputClear, w.SdToPath, true);
  Check(page, L"起動時にデスクトップツリー展開", 15, 178, 240, kIdDTExpand, w.DTExpand);
  Check(page, L"プログラム終了時に変換設定を解除", 260, 178, 250, kIdReset, w.Reset);
  Check(page, L"隠し属性のファイルとフォルダを表示", 15, 202, 240, kIdHidden, HiddenFoldersShown(w.Hidden));
  Check(page, L"変換完了メッセージ表示", 260, 202, 250, kIdEndMes, w.EndMes);
  Check(page, L"入力フォルダ内更新メッセージ表示", 15, 226, 240, kIdFileMes, w.FileMes);
  Check(page, L"ツールチップ表示", 260, 226, 250, kIdTipAct, w.TipAct);
}

int32_t* ConversionFlag(int id) {
  ConversionParameters& p = g_app.params;
  switch (id) {
    case kIdLimit: return &p.Limit;
    case kIdTopAdd: return &p.TopAdd;
    case kIdEndAdd: return &p.EndAdd;
    case kIdMkDirAdd: return &p.MkDirAdd;
    case kIdDeleteInput: return &p.IFileDel;
    case kIdRecycle: return &p.Recycle;
    case kIdHtmlTag: return &p.HtmlTag;
    case kIdInterlace: return &p.Interlace;
    case kIdProgressive: return &p.Progressive;
    case kIdComment: return &p.CmtOpt;
    case kIdAutoLevels: return &p.HgmOpt;
    case kIdBrightness: return &p.GamOpt;
    case kIdContrast: return &p.CrtOpt;
    case kIdSaturation: return &p.HlsSOpt;
    case kIdHue: return &p.HlsHOpt;
    default: return nullptr;
  }
}

int32_t* WindowFlag(int id) {
  WindowSettings& w = g_app.window;
  switch (id) {
    case kIdEndMes: return &w.EndMes;
    case kIdFileMes: return &w.FileMes;
    case kIdDTExpand: return &w.DTExpand;
    case kIdReset: return &w.Reset;
    case kIdTipAct: return &w.TipAct;
    default: return nullptr;
  }
}

NumberField FieldOf(int id) {
  switch (id) {
    case kIdQualityEdit: return NumberField::Quality;
    case kIdDigitEdit: return NumberField::DigitNum;
    case kIdStartEdit: return NumberField::StartNum;
    case kIdBrightness + kCorrectionEdit: return NumberField::Brightness;
    case kIdContrast + kCorrectionEdit: return NumberField::Contrast;
    case kIdSaturation + kCorrectionEdit: return NumberField::Saturation;
    default: return NumberField::Hue;
  }
}

bool IsCorrectionEdit(int id) {
  return id == kIdBrightness + kCorrectionEdit || id == kIdContrast + kCorrectionEdit ||
         id == kIdSaturation + kCorrectionEdit || id == kIdHue + kCorrectionEdit;
}

void SetText(int id, std::u16string_view text) {
  SetWindowTextW(Control(id), W(std::u16string(text)));
}

void RelistInputFolder() { FillInputListView(g_app.listedFolder); }

void ShowFormatsInCombos() {
  SendMessageW(Control(kIdInputFormat), CB_SETCURSEL, static_cast<WPARAM>(g_app.params.IFmt), 0);
  SendMessageW(Control(kIdInputFormat2), CB_SETCURSEL, static_cast<WPARAM>(g_app.params.IFmt), 0);
  SendMessageW(Control(kIdOutputFormat), CB_SETCURSEL, static_cast<WPARAM>(g_app.params.OFmt), 0);
  SendMessageW(Control(kIdOutputFormat2), CB_SETCURSEL, static_cast<WPARAM>(g_app.params.OFmt), 0);
  SetCheck(kIdJpegTransform, g_app.params.JTrans != 0);
  SetCheck(kIdJpegTransform2, g_app.params.JTrans != 0);
}

void ShowDepth() {
  for (int i = 0; i < 7; ++i) SetCheck(kIdDepth0 + i, g_app.params.DepOpt == i);
}

void AfterFormatChange(const FormatChange& change, bool relistAlways) {
  ShowFormatsInCombos();
  if (change.inputFormatChanged || relistAlways) RelistInputFolder();
  ApplyEnableRules();
  if (change.depthReset) ShowDepth();
  RefreshDetailSummary();
}

void BrowseInto(std::u16string& setting, int fieldId, bool sendTo, const wchar_t* title) {
  wchar_t current[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, current);
  std::u16string folder = setting;
  const bool chosen = BrowseForFolder(g_app.main, title, folder);
  SetCurrentDirectoryW(current);
  if (!chosen) return;
  setting = folder;
  SetText(fieldId, fieldId == kIdPluginFolder ? std::u16string_view(setting) : FolderFieldText(setting, sendTo));
}

void ClearFolderSetting(std::u16string& setting, int fieldId, bool sendTo) {
  setting.clear();
  SetText(fieldId, fieldId == kIdPluginFolder ? std::u16string_view() : FolderFieldText(setting, sendTo));
}

void SetAllChecks(bool checked) {
  const int count = static_cast<int>(SendMessageW(g_app.inputList, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) ListView_SetCheckState(g_app.inputList, i, checked ? TRUE : FALSE);
}

void HandleInputListChange(const NMLISTVIEW* change) {
  if (g_propagatingChecks || !(change->uChanged & LVIF_STATE)) return;
  const UINT selectedCount = static_cast<UINT>(SendMessageW(g_app.inputList, LVM_GETSELECTEDCOUNT, 0, 0));
  const UINT oldCheck = change->uOldState & LVIS_STATEIMAGEMASK;
  const UINT newCheck = change->uNewState & LVIS_STATEIMAGEMASK;
  if (change->iItem >= 0 && selectedCount > 1 && (change->uNewState & LVIS_SELECTED) && oldCheck != newCheck &&
      oldCheck != 0) {
    const BOOL checked = (newCheck >> 12) == 2;
    g_propagatingChecks = true;
    int item = -1;
    while ((item = ListView_GetNextItem(g_app.inputList, item, LVNI_SELECTED)) >= 0) {
      ListView_SetCheckState(g_app.inputList, item, checked);
    }
    g_propagatingChecks = false;
  }
  // A check click changes no selection, so it never reloads the preview.
  InputListSelectionChanged(change->uOldState, change->uNewState);
}

// The device point where `dc`'s logical origin lies: a control that asks
// its parent to paint its background (DrawThemeParentBackground) moves the
// origin, and the pattern must move with it.
POINT DeviceOrigin(HDC dc) {
  POINT origin{0, 0};
  LPtoDP(dc, &origin, 1);
  return origin;
}

void PaintPageBackground(HWND page, HDC dc) {
  RECT rect{};
  GetClientRect(page, &rect);
  if (!g_pageBrush) {
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    return;
  }
  const POINT origin = DeviceOrigin(dc);
  POINT old{};
  SetBrushOrgEx(dc, origin.x, origin.y, &old);
  FillRect(dc, &rect, g_pageBrush);
  SetBrushOrgEx(dc, old.x, old.y, nullptr);
}

// The answer to WM_CTLCOLORSTATIC/WM_CTLCOLORBTN: labels, check boxes,
// radio buttons, group boxes and track bars draw on the page's own
// background with transparent text. Edits are left to the default answer,
// so read-only and disabled edits keep the button face and stand apart
// from the white editable ones.
LRESULT ControlBackground(HWND page, HDC dc, HWND control) {
  if (!g_pageBrush || !control) return 0;
  wchar_t className[16] = {};
  GetClassNameW(control, className, 16);
  if (lstrcmpiW(className, WC_EDITW) == 0) return 0;
  POINT position{0, 0};
  MapWindowPoints(control, page, &position, 1);
  const POINT origin = DeviceOrigin(dc);
  SetBrushOrgEx(dc, origin.x - position.x, origin.y - position.y, nullptr);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  return reinterpret_cast<LRESULT>(g_pageBrush);
}

}  // namespace

HWND Control(int id) {
  const auto found = g_controls.find(id);
  if (found != g_controls.end()) return found->second;
  switch (id) {
    case kIdInputFolder: return g_app.inputBox;
    case kIdOutputFolder: return g_app.outputBox;
    case kIdTab: return g_app.tab;
    case kIdProgress: return g_app.progress;
    default: break;
  }
  HWND control = GetDlgItem(g_app.mainPanel, id);
  if (!control) control = GetDlgItem(g_app.treePanel, id);
  return control;
}

std::u16string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return U16(text);
}

std::u16string ControlText(int id) { return WindowText(Control(id)); }

void SetCheck(int id, bool checked) {
  SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(int id) { return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CreateTabPages(HWND tab) {
  // Creation order: 全般, 個別入力, 詳細設定, プラグイン, オプション.
  CreateGeneralPage(tab);
  CreateInputPage(tab);
  CreateDetailPage(tab);
  CreatePluginPage(tab);
  CreateOptionPage(tab);
  ApplyEnableRules();
  RefreshDetailSummary();
  SelectPage(0);
  RefreshPageBackground();
}

void SelectPage(int index) {
  for (int i = 0; i < kPageCount; ++i) ShowWindow(g_app.pages[i], i == index ? SW_SHOW : SW_HIDE);
}

void ReleasePageBackground() {
  if (g_pageBrush) DeleteObject(g_pageBrush);
  if (g_pageBitmap) DeleteObject(g_pageBitmap);
  g_pageBrush = nullptr;
  g_pageBitmap = nullptr;
}

void RefreshPageBackground() {
  ReleasePageBackground();
  HWND tab = g_app.tab;
  HWND page = g_app.pages[0];
  if (!tab || !page) return;
  RECT tabRect{};
  GetClientRect(tab, &tabRect);
  RECT pageRect{};
  GetWindowRect(page, &pageRect);
  MapWindowPoints(nullptr, tab, reinterpret_cast<POINT*>(&pageRect), 2);
  const int pageWidth = pageRect.right - pageRect.left;
  const int pageHeight = pageRect.bottom - pageRect.top;
  if (tabRect.right <= 0 || tabRect.bottom <= 0 || pageWidth <= 0 || pageHeight <= 0) return;

  HDC screen = GetDC(tab);
  HDC tabDc = CreateCompatibleDC(screen);
  HDC pageDc = CreateCompatibleDC(screen);
  HBITMAP tabBitmap = CreateCompatibleBitmap(screen, tabRect.right, tabRect.bottom);
  g_pageBitmap = CreateCompatibleBitmap(screen, pageWidth, pageHeight);
  if (tabDc && pageDc && tabBitmap && g_pageBitmap) {
    // The tab control paints itself (body, frame, tabs) into the bitmap;
    // the page's part of it becomes the pattern.
    HGDIOBJ oldTab = SelectObject(tabDc, tabBitmap);
    FillRect(tabDc, &tabRect, GetSysColorBrush(COLOR_BTNFACE));
    SendMessageW(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(tabDc), PRF_CLIENT | PRF_ERASEBKGND);
    HGDIOBJ oldPage = SelectObject(pageDc, g_pageBitmap);
    BitBlt(pageDc, 0, 0, pageWidth, pageHeight, tabDc, pageRect.left, pageRect.top, SRCCOPY);
    SelectObject(pageDc, oldPage);
    SelectObject(tabDc, oldTab);
    g_pageBrush = CreatePatternBrush(g_pageBitmap);
  }
  if (tabBitmap) DeleteObject(tabBitmap);
  if (pageDc) DeleteDC(pageDc);
  if (tabDc) DeleteDC(tabDc);
  ReleaseDC(tab, screen);
  if (!g_pageBrush) ReleasePageBackground();
  for (HWND each : g_app.pages) {
    if (each) RedrawWindow(each, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
}

void ApplyEnableRules() {
  for (const ControlState& state : EnableRules(g_app.params)) {
    HWND control = Control(state.id);
    if (!control) continue;
    ShowWindow(control, state.visible ? SW_SHOWNA : SW_HIDE);
    EnableWindow(control, state.enabled ? TRUE : FALSE);
  }
}

void RefreshDetailSummary() { SetText(kIdSummary, DetailSummaryText(g_app.params)); }

void ReadEditedValues() {
  EditedValues edited;
  auto number = [](int id) { return ParseEditNumber(ControlText(id)); };
  edited.Level = std::clamp(number(kIdLevelEdit), 0, 9);
  edited.Quality = std::clamp(number(kIdQualityEdit), 1, 100);
  edited.LmtVal = std::clamp(number(kIdLimitEdit), 1, 32767);
  edited.RszSize = std::clamp(number(kIdResizeSizeEdit), 0, 9999);
  edited.DigitNum = number(kIdDigitEdit);
  edited.StartNum = std::clamp(number(kIdStartEdit), 0, 9999);
  edited.TopStr = ControlText(kIdTopStr);
  edited.EndStr = ControlText(kIdEndStr);
  edited.MkDirStr = ControlText(kIdMkDirStr);
  edited.GamVal = CorrectionTrackPosition(NumberField::Brightness, ControlText(kIdBrightness + kCorrectionEdit));
  edited.CrtVal = CorrectionTrackPosition(NumberField::Contrast, ControlText(kIdContrast + kCorrectionEdit));
  edited.HlsSVal = CorrectionTrackPosition(NumberField::Saturation, ControlText(kIdSaturation + kCorrectionEdit));
  edited.HlsHVal = CorrectionTrackPosition(NumberField::Hue, ControlText(kIdHue + kCorrectionEdit));
  RefreshFromControls(edited, g_app.params);
  if (g_app.closing) return;
  // The value rules may have switched options off: show them as they are.
  SendMessageW(Control(kIdResize), CB_SETCURSEL, static_cast<WPARAM>(g_app.params.RszOpt), 0);
  SetCheck(kIdBrightness, g_app.params.GamOpt != 0);
  SetCheck(kIdContrast, g_app.params.CrtOpt != 0);
  SetCheck(kIdSaturation, g_app.params.HlsSOpt != 0);
  SetCheck(kIdHue, g_app.params.HlsHOpt != 0);
  SetText(kIdDigitEdit, Number(g_app.params.DigitNum));
  ApplyEnableRules();
  RefreshDetailSummary();
}

void FillInputListView(std::u16string_view folder) {
  HWND list = g_app.inputList;
  ClearInputPreview();
  g_app.listedFolder = folder;
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  FillInputList(folder, g_app.params, static_cast<uint32_t>(g_app.window.Hidden), g_app.inputEntries,
                PluginInputExtensions(g_app.params, g_app.window.SPI));
  int row = 0;
  for (const InputListEntry& entry : g_app.inputEntries) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(W(entry.name));
    const int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    ListView_SetItemText(list, index, 1, const_cast<wchar_t*>(W(entry.sizeText)));
    ListView_SetItemText(list, index, 2, const_cast<wchar_t*>(W(entry.timeText)));
    ListView_SetCheckState(list, index, TRUE);
    ++row;
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  SetText(kIdCount, Number(static_cast<int32_t>(g_app.inputEntries.size())));
}

std::vector<std::u16string> CheckedInputNames() {
  std::vector<std::u16string> names;
  const int count = static_cast<int>(SendMessageW(g_app.inputList, LVM_GETITEMCOUNT, 0, 0));
  wchar_t buffer[MAX_PATH];
  for (int i = 0; i < count; ++i) {
    if (!ListView_GetCheckState(g_app.inputList, i)) continue;
    buffer[0] = L'\0';
    ListView_GetItemText(g_app.inputList, i, 0, buffer, MAX_PATH);
    names.push_back(U16(buffer));
  }
  return names;
}

void ShowSettingsInControls() {
  ShowFormatsInCombos();
  ShowDepth();
  ApplyEnableRules();
  RefreshDetailSummary();
}

void RestoreSubclassedLists() {
  for (HWND& list : g_subclassedLists) {
    if (list && g_listProc) SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_listProc));
    list = nullptr;
  }
}

LRESULT HandleOptionCommand(HWND /*from*/, int id, int code, HWND control) {
  ConversionParameters& p = g_app.params;
  WindowSettings& w = g_app.window;
  if (code == CBN_SELCHANGE) {
    const int32_t selected = static_cast<int32_t>(SendMessageW(control, CB_GETCURSEL, 0, 0));
    if (selected < 0) return 0;
    switch (id) {
      case kIdInputFormat:
      case kIdInputFormat2: AfterFormatChange(ChangeInputFormat(p, selected), true); break;
      case kIdOutputFormat:
      case kIdOutputFormat2: AfterFormatChange(ChangeOutputFormat(p, selected), false); break;
      case kIdMarker: p.Marker = selected; break;
      case kIdResize:
        p.RszOpt = selected;
        ApplyEnableRules();
        break;
      case kIdSharpen: p.UsmOpt = selected; break;
      case kIdRotate: p.TurOpt = selected; break;
      case kIdInputFolder: {
        const int length = static_cast<int>(SendMessageW(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0));
        std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
        SendMessageW(control, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()));
        text.resize(wcslen(text.c_str()));
        FillInputListView(U16(text));
        WatchInputFolder(U16(text));
        break;
      }
      default: break;
    }
    return 0;
  }
  if (code == EN_KILLFOCUS) {
    if (id >= kIdExtStr0 && id < kIdExtStr0 + 4) {
      const ExtensionEdit result = ApplyExtensionEdit(p, static_cast<size_t>(id - kIdExtStr0), WindowText(control));
      if (result == ExtensionEdit::ClearedDuplicate) SetWindowTextW(control, L"");
      if (result != ExtensionEdit::Unchanged) RelistInputFolder();
    } else if (id == kIdQualityEdit || id == kIdDigitEdit || id == kIdStartEdit || IsCorrectionEdit(id)) {
      if (const auto text = ValidatedNumberText(FieldOf(id), WindowText(control))) SetWindowTextW(control, W(*text));
    }
    return 0;
  }
  if (code == EN_UPDATE) {
    if (IsCorrectionEdit(id)) {
      SendMessageW(Control(id - kCorrectionEdit + kCorrectionTrack), TBM_SETPOS, TRUE,
                   CorrectionTrackPosition(FieldOf(id), WindowText(control)));
    }
    return 0;
  }
  if (code != BN_CLICKED) return 0;
  const bool checked = control && SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (int32_t* flag = ConversionFlag(id)) {
    *flag = checked ? 1 : 0;
    ApplyEnableRules();
    RefreshDetailSummary();
    return 0;
  }
  if (int32_t* flag = WindowFlag(id)) {
    *flag = checked ? 1 : 0;
    if (id == kIdTipAct && g_app.tooltip) SendMessageW(g_app.tooltip, TTM_ACTIVATE, checked ? TRUE : FALSE, 0);
    return 0;
  }
  if (id >= kIdSelExt0 && id < kIdSelExt0 + 4) {
    p.SelExt[static_cast<size_t>(id - kIdSelExt0)] = checked ? 1 : 0;
    RelistInputFolder();
    return 0;
  }
  if (id >= kIdDepth0 && id < kIdDepth0 + 7) {
    if (checked) {
      p.DepOpt = id - kIdDepth0;
      RefreshDetailSummary();
    }
    return 0;
  }
  for (int group : {kIdBrightness, kIdContrast, kIdSaturation, kIdHue}) {
    if (id == group + kCorrectionReset) {
      SetText(group + kCorrectionEdit, u"0");
      SendMessageW(Control(group + kCorrectionTrack), TBM_SETPOS, TRUE, 0);
      return 0;
    }
  }
  switch (id) {
    case kIdJpegTransform:
    case kIdJpegTransform2: AfterFormatChange(ChangeJpegTransform(p, checked), false); break;
    case kIdSampling41:
    case kIdSampling11:
      if (checked) p.Sampling = id == kIdSampling11 ? 2 : 0;
      break;
    case kIdNameByInput:
    case kIdNameByExif:
    case kIdNameBySerial:
      if (checked) {
        p.NameSet = id - kIdNameByInput;
        ApplyEnableRules();
      }
      break;
    case kIdSendToOpen:
    case kIdSendToConvert:
      if (checked) w.SdToCvt = id == kIdSendToConvert ? 1 : 0;
      break;
    case kIdHidden: SetHiddenFoldersShown(checked); break;
    case kIdSendToRegister: UpdateSendToShortcut(checked); break;
    case kIdAllOn: SetAllChecks(true); break;
    case kIdAllOff: SetAllChecks(false); break;
    case kIdStartInputSet: BrowseInto(w.ISPath, kIdStartInputField, false, L"フォルダ設定"); break;
    case kIdStartInputClear: ClearFolderSetting(w.ISPath, kIdStartInputField, false); break;
    case kIdStartOutputSet: BrowseInto(w.OSPath, kIdStartOutputField, false, L"フォルダ設定"); break;
    case kIdStartOutputClear: ClearFolderSetting(w.OSPath, kIdStartOutputField, false); break;
    case kIdSendToOutputSet: BrowseInto(w.SdToPath, kIdSendToOutputField, true, L"フォルダ設定"); break;
    case kIdSendToOutputClear: ClearFolderSetting(w.SdToPath, kIdSendToOutputField, true); break;
    case kIdPluginSet:
      BrowseInto(w.SPI, kIdPluginFolder, false, L"プラグインフォルダ設定");
      PluginFolderChanged();
      break;
    case kIdPluginClear:
      ClearFolderSetting(w.SPI, kIdPluginFolder, false);
      PluginFolderChanged();
      break;
    case kIdConvertButton: RunConvertCommand(); break;
    case kIdExitButton: PostMessageW(g_app.main, WM_CLOSE, 0, 0); break;
    case kIdPreviewButton: RunOutputPreviewCommand(); break;
    case kIdNamesButton: ShowNameConfirmation(); break;
    case kIdCommentEdit: EditComment(); break;
    case kIdHelpButton: ShowHelp(); break;
    case kIdVersionButton: ShowVersionWindow(); break;
    default: break;
  }
  return 0;
}

LRESULT CALLBACK TabPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return HandleOptionCommand(window, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == static_cast<UINT_PTR>(kIdInputList) && header->code == LVN_ITEMCHANGED) {
        HandleInputListChange(reinterpret_cast<const NMLISTVIEW*>(lParam));
      }
      break;
    }
    case WM_HSCROLL: {
      const int request = LOWORD(wParam);
      HWND track = reinterpret_cast<HWND>(lParam);
      if (track && (request == TB_THUMBPOSITION || request == TB_THUMBTRACK || request == TB_ENDTRACK)) {
        const int trackId = GetDlgCtrlID(track);
        if ((trackId - kCorrectionTrack) % 10 != 0 || trackId < kIdBrightness || trackId > kIdHue + 9) break;
        const LRESULT position = SendMessageW(track, TBM_GETPOS, 0, 0);
        SetText(trackId - kCorrectionTrack + kCorrectionEdit, Number(static_cast<int32_t>(position)));
      }
      return 0;
    }
    case WM_ERASEBKGND:
      PaintPageBackground(window, reinterpret_cast<HDC>(wParam));
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (const LRESULT brush =
              ControlBackground(window, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam))) {
        return brush;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      SetFocus(g_app.main);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace pixlane::ui
