// A parsed header is within its limits and points inside the file; a decode
// fills only the rows (row padding and the bits past the last PBM pixel stay
// zero), ends with None or Truncated, and gives the same rows twice.
#include "netpbm_plugin_fuzz_entry.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "netpbm_decode.h"

namespace pixlane::fuzz {
namespace {

using netpbm::Error;
using netpbm::Header;
using netpbm::Kind;
using netpbm::Layout;

bool SoundHeader(const Header& h, size_t size) {
  if (h.width < 1 || h.width > netpbm::kMaxDimension || h.height < 1 || h.height > netpbm::kMaxDimension) {
    return false;
  }
  if (h.maxval < 1 || h.maxval > 65535 || (h.kind == Kind::Bitmap && h.maxval != 1)) return false;
  return h.rasterOffset >= 4 && h.rasterOffset <= size;
}

// The bytes of each row past its pixels are still zero.
bool PaddingIsZero(const Header& h, const Layout& layout, const std::vector<uint8_t>& rows) {
  const size_t width = static_cast<size_t>(h.width);
  const size_t bits = width * static_cast<size_t>(layout.bitCount);
  for (size_t y = 0; y < static_cast<size_t>(h.height); ++y) {
    const uint8_t* row = rows.data() + y * layout.stride;
    for (size_t bit = bits; bit < layout.stride * 8; ++bit) {
      if ((row[bit / 8] >> (7 - bit % 8)) & 1) return false;
    }
  }
  return true;
}

}  // namespace

bool CheckNetpbmInput(const uint8_t* data, size_t size) {
  // The plug-in's support test sees a zero-filled 2048-byte block.
  std::array<uint8_t, 2048> head{};
  std::memcpy(head.data(), data, std::min(size, head.size()));
  const bool looksLike = netpbm::LooksLikeNetpbm(head.data(), head.size());

  Header header;
  const Error error = netpbm::ParseHeader(data, size, header);
  if (error == Error::Cancelled) return false;
  if (error != Error::None) return true;
  // A header that parses in the file parses in its first bytes too.
  if (header.rasterOffset <= head.size() && !looksLike) return false;
  if (!SoundHeader(header, size)) return false;
  if (int64_t{header.width} * header.height > kNetpbmFuzzMaxPixels) return true;

  Layout layout;
  if (!netpbm::ComputeLayout(header, layout) || layout.imageBytes != layout.stride * header.height) return false;
  std::vector<uint8_t> first(layout.imageBytes, 0);
  std::vector<uint8_t> second(layout.imageBytes, 0);
  const Error decoded = netpbm::DecodeRaster(data, size, header, layout, first.data(), first.size());
  if (decoded != Error::None && decoded != Error::Truncated) return false;
  if (netpbm::DecodeRaster(data, size, header, layout, second.data(), second.size()) != decoded) return false;
  return first == second && PaddingIsZero(header, layout, first);
}

}  // namespace pixlane::fuzz
