// Sizes of the buffers that settings strings are read into, and the
// settings file's section names.
#pragma once

#include <cstddef>
#include <string_view>

namespace pixlane {

// Plain strings (prefix, suffix, subfolder, extensions) are read with a
// 260-character buffer: at most 259 characters.
inline constexpr size_t kMaxTextChars = 259;

// Folder paths: a 260-character buffer on Windows (MAX_PATH); on POSIX the
// system's path limit (PATH_MAX, 4096), as longer paths are common there.
#ifdef _WIN32
inline constexpr size_t kMaxPathChars = 259;
#else
inline constexpr size_t kMaxPathChars = 4095;
#endif

// The comment: the most the comment window accepts.
inline constexpr size_t kMaxCommentChars = 10000;

inline constexpr std::u16string_view kConversionSection = u"CvtPrms";
inline constexpr std::u16string_view kWindowSection = u"MWin";
inline constexpr std::u16string_view kFolderListSection = u"FolderList";

}  // namespace pixlane
