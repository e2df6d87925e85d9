// Runs one scripted plug-in through LoadImageWithPlugin: the fake loader
// (the one the host's tests use) returns the input's blocks from
// GetPicture, so the fuzzer plays a plug-in that answers anything.
#include "plugin_host_fuzz_entry.h"

#include "codecs/plugin_host.h"
#include "fuzz_scratch.h"
#include "fuzz_support.h"
#include "support/fake_plugin_loader.h"

namespace pixlane::fuzz {

bool CheckPluginHostInput(const uint8_t* data, size_t size) {
  if (size < 2) return true;
  const size_t headerBytes = std::min<size_t>(LoadU16LE(data), size - 2);
  const uint8_t* header = data + 2;
  const uint8_t* pixels = header + headerBytes;
  const size_t pixelBytes = size - 2 - headerBytes;

  const std::u16string& folder = ScratchFolder();
  if (folder.empty()) return true;
  static const std::u16string input = [&folder] {
    const std::u16string path = JoinPath(folder, u"input.fak");
    const uint8_t head[] = {'F', 'A', 'K', 'E'};
    WriteFreshFile(path, head, sizeof head);
    return path;
  }();

  test::FakePluginLoader loader;
  test::FakePlugin& plugin = loader.Add(u"a.spi");
  plugin.info = {"*.fak", "Fuzzed format"};
  plugin.accepts = [](const uint8_t*) { return true; };
  plugin.bitmapInfo.assign(header, header + headerBytes);
  plugin.bitmapBits.assign(pixels, pixels + pixelBytes);
  plugin.nullBits = pixelBytes == 0;

  PluginHost host;
  const ImageBuffer* image = LoadImageWithPlugin(loader, folder, input, host);
  bool sound = false;
  if (image == nullptr) {
    sound = host.error != CodecError::None && host.image.pixels.empty();
  } else {
    const BitmapInfoHeader& h = image->header;
    uint64_t checksum = 0;
    sound = image == &host.image && h.size == 40 && h.planes == 1 && h.compression == 0 &&
            (h.bitCount == 8 || h.bitCount == 24) && h.width >= 1 && h.width <= kMaxDimension &&
            h.height >= 1 && h.height <= kMaxDimension && ChecksumRows(*image, checksum);
  }
  return sound && loader.Balanced();
}

}  // namespace pixlane::fuzz
