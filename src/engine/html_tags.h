// The HTML tag file of a batch: one `<img src="NAME" width="W" height="H"
// alt="">` line (CR LF) for each output of at most 400 × 400 pixels, in
// processing order, in the ANSI code page (UTF-8 on POSIX) without a BOM,
// written into the output folder as "<last folder component>.html". The
// previous file goes to the recycle bin first; the new one is committed like
// an output (temporary file, flush, rename that never replaces). No header,
// no footer.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace pixlane {

inline constexpr int32_t kMaxTaggedDimension = 400;
inline constexpr size_t kMaxTagNameBytes = 10000;

struct HtmlTagEntry {
  std::u16string fileName;  // the output's name, without folder
  int32_t width = 0;
  int32_t height = 0;
};

enum class HtmlTagResult {
  Written,          // the file holds at least one line
  NoLine,           // no output qualified: no file is left (an old one was recycled)
  RecycleFailed,    // the existing file could not be recycled; nothing changed
  CreateFailed,     // the file could not be created
  WriteFailed,      // writing or closing failed; the partial file was removed
};

// True for the results that the caller reports (ErrorMessage 8).
inline bool IsHtmlTagFailure(HtmlTagResult result) {
  return result == HtmlTagResult::RecycleFailed || result == HtmlTagResult::CreateFailed ||
         result == HtmlTagResult::WriteFailed;
}

// Moves one file to the recycle bin; false when it could not.
using RecycleFileFunction = std::function<bool(std::u16string_view path)>;

// The tag file's path: the folder's last component + ".html" inside it
// ("D:\web\Output" gives "D:\web\Output\Output.html"). A root has no last
// component: a drive root uses its letter ("D:\" gives "D:\D.html"), any
// other root the name "root.html".
std::u16string HtmlTagFilePath(std::u16string_view outputFolder);

// One tag line for an entry, as bytes: the name in the ANSI code page (cut
// at a character boundary to at most 10,000 bytes), with the characters
// that would end the attribute or change the link's meaning escaped
// (" & < > as entities; % # ? as %25 %23 %3F).
std::string HtmlTagLine(const HtmlTagEntry& entry);

// Writes the tag file for the entries. With no entries nothing is touched.
HtmlTagResult WriteHtmlTags(std::u16string_view outputFolder, std::span<const HtmlTagEntry> entries,
                            const RecycleFileFunction& recycleFile);

}  // namespace pixlane
