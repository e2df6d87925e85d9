// The fixed identifiers of the main window's controls, shared by the Win32
// shell and the portable rules that say which controls are shown and
// enabled. Numbers are stable: tests and the help mapping refer to them.
#pragma once

namespace pixlane::ui {

// Folder tree panel.
inline constexpr int kIdTreePanel = 1000;
inline constexpr int kIdFolderTree = 1001;
inline constexpr int kIdTreeModeInput = 1002;
inline constexpr int kIdTreeModeOutput = 1003;
inline constexpr int kIdTreeModeBoth = 1004;
inline constexpr int kIdTreeLabel = 1005;
inline constexpr int kIdTreeAdd = 1006;
inline constexpr int kIdTreeRemove = 1007;

// Main panel.
inline constexpr int kIdMainPanel = 1010;
inline constexpr int kIdInputLabel = 1011;
inline constexpr int kIdOutputLabel = 1012;
inline constexpr int kIdInputFolder = 1013;
inline constexpr int kIdOutputFolder = 1014;
inline constexpr int kIdProgress = 1020;
inline constexpr int kIdPreviewButton = 1021;
inline constexpr int kIdNamesButton = 1022;
inline constexpr int kIdConvertButton = 1023;
inline constexpr int kIdAbortButton = 1024;
inline constexpr int kIdHelpButton = 1025;
inline constexpr int kIdExitButton = 1026;
inline constexpr int kIdVersionButton = 1027;
inline constexpr int kIdTab = 1030;

// "全般".
inline constexpr int kIdFormatGroup = 1100;
inline constexpr int kIdInputFormatLabel = 1101;
inline constexpr int kIdInputFormat = 1102;
inline constexpr int kIdOutputFormatLabel = 1103;
inline constexpr int kIdOutputFormat = 1104;
inline constexpr int kIdJpegTransform = 1105;
inline constexpr int kIdFormatOptionsGroup = 1110;
inline constexpr int kIdLevelLabel = 1111;
inline constexpr int kIdLevelEdit = 1112;
inline constexpr int kIdLevelUpDown = 1113;
inline constexpr int kIdLevelNote = 1114;
inline constexpr int kIdFormatNote = 1115;
inline constexpr int kIdQualityLabel = 1120;
inline constexpr int kIdQualityEdit = 1121;
inline constexpr int kIdQualityUpDown = 1122;
inline constexpr int kIdSamplingLabel = 1123;
inline constexpr int kIdSampling41 = 1124;
inline constexpr int kIdSampling11 = 1125;
inline constexpr int kIdLimit = 1126;
inline constexpr int kIdLimitEdit = 1127;
inline constexpr int kIdLimitUpDown = 1128;
inline constexpr int kIdLimitLabel = 1129;
inline constexpr int kIdMarkerLabel = 1130;
inline constexpr int kIdMarker = 1131;
inline constexpr int kIdTransformGroup = 1140;
inline constexpr int kIdResizeLabel = 1141;
inline constexpr int kIdResize = 1142;
inline constexpr int kIdResizeSizeLabel = 1143;
inline constexpr int kIdResizeSizeEdit = 1144;
inline constexpr int kIdResizeUnitLabel = 1145;
inline constexpr int kIdResizeNote = 1146;
inline constexpr int kIdSharpenLabel = 1147;
inline constexpr int kIdSharpen = 1148;
inline constexpr int kIdRotateLabel = 1149;
inline constexpr int kIdRotate = 1150;
inline constexpr int kIdOutputFileGroup = 1160;
inline constexpr int kIdNameByInput = 1161;
inline constexpr int kIdNameByExif = 1162;
inline constexpr int kIdNameBySerial = 1163;
inline constexpr int kIdDigitLabel = 1164;
inline constexpr int kIdDigitEdit = 1165;
inline constexpr int kIdDigitUpDown = 1166;
inline constexpr int kIdStartLabel = 1167;
inline constexpr int kIdStartEdit = 1168;
inline constexpr int kIdStartUpDown = 1169;
inline constexpr int kIdTopAdd = 1170;
inline constexpr int kIdTopStr = 1171;
inline constexpr int kIdEndAdd = 1172;
inline constexpr int kIdEndStr = 1173;
inline constexpr int kIdMkDirAdd = 1174;
inline constexpr int kIdMkDirStr = 1175;
inline constexpr int kIdDeleteInput = 1180;
inline constexpr int kIdRecycle = 1181;
inline constexpr int kIdHtmlTag = 1182;
inline constexpr int kIdSummaryLabel = 1190;
inline constexpr int kIdSummary = 1191;

// "個別入力".
inline constexpr int kIdInputList = 1200;
inline constexpr int kIdAllChecksLabel = 1201;
inline constexpr int kIdAllOn = 1202;
inline constexpr int kIdAllOff = 1203;
inline constexpr int kIdCountLabel = 1204;
inline constexpr int kIdCount = 1205;
inline constexpr int kIdPreviewBox = 1210;
inline constexpr int kIdPreviewName = 1211;
inline constexpr int kIdPreviewInfo = 1212;
inline constexpr int kIdInputFormat2Label = 1220;
inline constexpr int kIdLinkedNote1 = 1221;
inline constexpr int kIdInputFormat2 = 1222;
inline constexpr int kIdExtensionGroup = 1230;
inline constexpr int kIdSelExt0 = 1240;  // 1240..1243
inline constexpr int kIdExtStr0 = 1250;  // 1250..1253

// "詳細設定".
inline constexpr int kIdOutputFormat2Label = 1300;
inline constexpr int kIdLinkedNote2 = 1301;
inline constexpr int kIdOutputFormat2 = 1302;
inline constexpr int kIdJpegTransform2 = 1303;
inline constexpr int kIdDetailFormatGroup = 1310;
inline constexpr int kIdDepthLabel = 1311;
inline constexpr int kIdDepth0 = 1312;  // 1312..1318: DepOpt 0..6
inline constexpr int kIdInterlace = 1319;
inline constexpr int kIdProgressive = 1320;
inline constexpr int kIdComment = 1321;
inline constexpr int kIdCommentEdit = 1322;
inline constexpr int kIdCorrectionGroup = 1330;
inline constexpr int kIdAutoLevels = 1340;
// Correction groups: check box, edit, up-down, track bar, "リセット".
inline constexpr int kIdBrightness = 1350;
inline constexpr int kIdContrast = 1360;
inline constexpr int kIdSaturation = 1370;
inline constexpr int kIdHue = 1380;
inline constexpr int kCorrectionEdit = 1;
inline constexpr int kCorrectionUpDown = 2;
inline constexpr int kCorrectionTrack = 3;
inline constexpr int kCorrectionReset = 4;

// "プラグイン".
inline constexpr int kIdPluginLabel = 1400;
inline constexpr int kIdPluginSet = 1401;
inline constexpr int kIdPluginClear = 1402;
inline constexpr int kIdPluginFolder = 1403;
inline constexpr int kIdPluginList = 1404;
inline constexpr int kIdPluginNote = 1405;

// "オプション".
inline constexpr int kIdStartFolderGroup = 1410;
inline constexpr int kIdStartInputLabel = 1411;
inline constexpr int kIdStartInputSet = 1412;
inline constexpr int kIdStartInputClear = 1413;
inline constexpr int kIdStartInputField = 1414;
inline constexpr int kIdStartOutputLabel = 1415;
inline constexpr int kIdStartOutputSet = 1416;
inline constexpr int kIdStartOutputClear = 1417;
inline constexpr int kIdStartOutputField = 1418;
inline constexpr int kIdSendToGroup = 1420;
inline constexpr int kIdSendToRegister = 1421;
inline constexpr int kIdSendToOpen = 1422;
inline constexpr int kIdSendToConvert = 1423;
inline constexpr int kIdSendToOutputLabel = 1424;
inline constexpr int kIdSendToOutputField = 1425;
inline constexpr int kIdSendToOutputSet = 1426;
inline constexpr int kIdSendToOutputClear = 1427;
inline constexpr int kIdEndMes = 1430;
inline constexpr int kIdFileMes = 1431;
inline constexpr int kIdDTExpand = 1432;
inline constexpr int kIdReset = 1433;
inline constexpr int kIdHidden = 1434;
inline constexpr int kIdTipAct = 1435;

// The dialog templates (pixlane.rc) and their controls.
inline constexpr int kIdNameDialog = 2000;  // "ファイル名確認"
inline constexpr int kIdNameList = 2001;
inline constexpr int kIdOutputPreviewDialog = 2100;  // "出力プレビュー"
inline constexpr int kIdOutputPreviewChild = 2101;
inline constexpr int kIdCommentDialog = 2200;  // "コメント作成"
inline constexpr int kIdCommentText = 2210;

// The folder tree's cursor resources (pixlane.rc).
inline constexpr int kCursorDrag = 110;
inline constexpr int kCursorInput = 111;
inline constexpr int kCursorOutput = 112;
inline constexpr int kCursorBoth = 113;

// The folder tree's context menu.
inline constexpr int kCmdExplore = 5000;
inline constexpr int kCmdRegister = 5010;
inline constexpr int kCmdUnregister = 5011;
inline constexpr int kCmdSetInput = 5020;
inline constexpr int kCmdSetOutput = 5021;
inline constexpr int kCmdSetBoth = 5022;
inline constexpr int kCmdToggleHidden = 5040;

// System menu command "常に手前に表示".
inline constexpr int kCmdTopMost = 5100;

}  // namespace pixlane::ui
