// Converts the CLI's inputs file by file with the engine's load and save
// dispatch. Output names: the input's stem plus the saver's extension; an
// existing name gets "+1", "+2", … before the extension, so that nothing
// already in the output folder is overwritten.
#include "cli/cli_convert.h"

#include <algorithm>

#include "codecs/format_sniff.h"
#include "engine/load_save_dispatch.h"
#include "platform/file_system.h"
#include "platform/text.h"

namespace pixlane::cli {
namespace {

void ExpandInputs(const std::vector<std::u16string>& inputs, std::vector<std::u16string>& files,
                  const LinePrinter& print, ConversionSummary& summary) {
  for (const std::u16string& input : inputs) {
    if (!IsDirectory(input)) {
      files.push_back(input);
      continue;
    }
    std::vector<DirectoryEntry> entries;
    if (!ListDirectory(input, entries)) {
      print(Utf16ToUtf8(input) + ": cannot read the folder", true);
      ++summary.failed;
      continue;
    }
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
    for (const DirectoryEntry& e : entries) {
      if (e.isDirectory || e.isHidden) continue;
      if (FormatFromExtension(e.name) == FormatCode::Unknown) continue;
      files.push_back(JoinPath(input, e.name));
    }
  }
}

std::u16string StemOf(std::u16string_view path) {
  std::u16string_view name = FileNamePart(path);
  const size_t dot = name.rfind(u'.');
  if (dot != std::u16string_view::npos && dot > 0) name = name.substr(0, dot);
  return std::u16string(name);
}

bool UniqueOutputPath(const std::u16string& folder, const std::u16string& stem,
                      const std::u16string& extension, std::u16string& path) {
  path = JoinPath(folder, stem + extension);
  for (int n = 1; PathExists(path); ++n) {
    if (n > 9999) return false;
    path = JoinPath(folder, stem + u"+" + Utf8ToUtf16(std::to_string(n)) + extension);
  }
  return true;
}

}  // namespace

bool RunConversion(const CliOptions& options, const LinePrinter& print,
                   ConversionSummary& summary) {
  if (!IsDirectory(options.outputFolder) && !CreateFolder(options.outputFolder)) {
    print(Utf16ToUtf8(options.outputFolder) + ": cannot create the output folder", true);
    return false;
  }
  std::vector<std::u16string> files;
  ExpandInputs(options.inputs, files, print, summary);

  EngineContext context;
  if (!AllocateWorkObjects(context)) {
    print("out of memory", true);
    ReleaseWorkObjects(context);
    return false;
  }
  SelectSaver(context, options.params);
  for (const std::u16string& file : files) {
    const std::string name = Utf16ToUtf8(file);
    if (!LoadImageFile(context, file)) {
      print(name + ": cannot read (" + CodecErrorName(context.lastError) + ")", true);
      ++summary.failed;
      continue;
    }
    std::u16string outputPath;
    if (!UniqueOutputPath(options.outputFolder, StemOf(file), context.saver.extension,
                          outputPath)) {
      print(name + ": no free output name", true);
      ReleaseCurrentImage(context);
      ++summary.failed;
      continue;
    }
    const bool saved = SaveImageFile(context, options.params, outputPath);
    ReleaseCurrentImage(context);
    if (!saved) {
      DeleteFilePath(outputPath);  // never leave a partial file behind
      print(name + ": cannot write (" + CodecErrorName(context.lastError) + ")", true);
      ++summary.failed;
      continue;
    }
    ++summary.converted;
    if (!options.quiet) print(name + " -> " + Utf16ToUtf8(outputPath), false);
  }
  ReleaseWorkObjects(context);
  return true;
}

}  // namespace pixlane::cli
