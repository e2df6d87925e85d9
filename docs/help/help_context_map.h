/* The context numbers Pixlane.exe opens the help at: the overview when no
   tab page is selected, otherwise the topic of the page that is showing
   ("全般", "個別入力", "詳細設定", "オプション", "プラグイン"). */
#define IDH_OVERVIEW 2
#define IDH_GENERAL 14
#define IDH_INPUT 16
#define IDH_DETAILS 18
#define IDH_OPTIONS 20
#define IDH_PLUGINS 22
