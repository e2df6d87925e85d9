// What the test mode's scenario units share: the PASS/FAIL log, the
// environment and scratch folder, recorded message boxes, clicks by control
// id, painting, the window capture and the hold for an X screen capture.
// Defined in ui_self_test.cpp; the UI thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace pixlane::ui {

namespace self_test {
void Expect(bool condition, const std::string& what);
void Log(const std::string& line);
std::wstring Env(const wchar_t* name);
std::u16string TestDir(const wchar_t* sub);
bool Shown(int code);  // an ErrorMessage code (100 = summary) was recorded
void Click(int id);
void PumpPaint();
// Saves the main window (caption included) as a 24-bit BMP.
bool SaveWindowShot(const std::u16string& path);
// Logs "WINDOW WxH+X+Y" for `area` and READY, then waits (pumping) until
// the script creates the file "release" in the scratch folder.
void HoldForScreenCapture(const RECT& area);
// A drop block for WM_DROPFILES at `point` (main window client coordinates).
HGLOBAL MakeDrop(POINT point, const std::vector<std::wstring>& paths);
}  // namespace self_test

// The folder tree's scenarios (folder_tree_self_test.cpp): false when
// `scenario` is not one of them.
bool RunFolderTreeScenario(const std::wstring& scenario);

}  // namespace pixlane::ui
