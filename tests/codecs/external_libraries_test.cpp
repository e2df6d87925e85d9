// Checks the JPEG and zlib libraries that both builds link, directly through
// their C interfaces: a JPEG round trip in memory with the 6b API and a
// deflate/inflate round trip with zlib's stream API. These catch a wrong or
// broken dependency build (ABI, SIMD, static linking) before any codec does.
#include <cstdio>  // jpeglib.h needs size_t and FILE declared first

#include <jpeglib.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 8;

struct Rgb {
  uint8_t r, g, b;
};

// Four flat 8-pixel-wide quadrants (one JPEG block each), so that lossy
// coding keeps every colour close to its original.
Rgb QuadrantColour(int x, int y) {
  static constexpr Rgb kColours[4] = {{230, 30, 30}, {30, 200, 40}, {40, 50, 220}, {240, 240, 60}};
  return kColours[(y / 4 >= 1 ? 2 : 0) + (x / 8)];
}

std::vector<uint8_t> MakeRgbImage() {
  std::vector<uint8_t> rgb(kWidth * kHeight * 3);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const Rgb c = QuadrantColour(x, y);
      uint8_t* p = &rgb[static_cast<size_t>((y * kWidth + x) * 3)];
      p[0] = c.r;
      p[1] = c.g;
      p[2] = c.b;
    }
  }
  return rgb;
}

// libjpeg reports fatal errors through error_exit, which must not return.
// These tests expect no error at all, so one prints its message and ends the
// test process, which fails the case (no setjmp/longjmp machinery needed).
[[noreturn]] void FailOnJpegError(j_common_ptr cinfo) {
  char message[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, message);
  std::fprintf(stderr, "libjpeg error: %s\n", message);
  std::fflush(stderr);
  std::abort();
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& rgb, int quality) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jerr.error_exit = FailOnJpegError;
  jpeg_create_compress(&cinfo);

  unsigned char* buffer = nullptr;
  unsigned long size = 0;  // NOLINT(runtime/int): libjpeg's type
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = kWidth;
  cinfo.image_height = kHeight;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&rgb[cinfo.next_scanline * kWidth * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);

  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

TEST(ExternalLibrariesTest, JpegRoundTripInMemoryKeepsSizeAndColours) {
  const std::vector<uint8_t> rgb = MakeRgbImage();
  const std::vector<uint8_t> jpeg = EncodeJpeg(rgb, 90);
  ASSERT_GT(jpeg.size(), 4u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);  // SOI
  EXPECT_EQ(jpeg[jpeg.size() - 2], 0xFF);
  EXPECT_EQ(jpeg[jpeg.size() - 1], 0xD9);  // EOI

  jpeg_decompress_struct dinfo{};
  jpeg_error_mgr jerr{};
  dinfo.err = jpeg_std_error(&jerr);
  jerr.error_exit = FailOnJpegError;
  jpeg_create_decompress(&dinfo);
  jpeg_mem_src(&dinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
  ASSERT_EQ(jpeg_read_header(&dinfo, TRUE), JPEG_HEADER_OK);
  EXPECT_EQ(dinfo.image_width, static_cast<JDIMENSION>(kWidth));
  EXPECT_EQ(dinfo.image_height, static_cast<JDIMENSION>(kHeight));
  EXPECT_EQ(dinfo.num_components, 3);
  dinfo.out_color_space = JCS_RGB;
  ASSERT_TRUE(jpeg_start_decompress(&dinfo));
  ASSERT_EQ(dinfo.output_components, 3);

  std::vector<uint8_t> decoded(rgb.size());
  while (dinfo.output_scanline < dinfo.output_height) {
    JSAMPROW row = &decoded[dinfo.output_scanline * kWidth * 3];
    ASSERT_EQ(jpeg_read_scanlines(&dinfo, &row, 1), 1u);
  }
  EXPECT_TRUE(jpeg_finish_decompress(&dinfo));
  jpeg_destroy_decompress(&dinfo);

  // 4:2:0 chroma smears colour across the quadrant borders; the centre of
  // each quadrant must stay close to the original.
  constexpr int kTolerance = 24;
  for (const auto& [x, y] : {std::pair{3, 1}, std::pair{12, 1}, std::pair{3, 6}, std::pair{12, 6}}) {
    const Rgb want = QuadrantColour(x, y);
    const uint8_t* got = &decoded[static_cast<size_t>((y * kWidth + x) * 3)];
    EXPECT_NEAR(got[0], want.r, kTolerance) << "red at " << x << "," << y;
    EXPECT_NEAR(got[1], want.g, kTolerance) << "green at " << x << "," << y;
    EXPECT_NEAR(got[2], want.b, kTolerance) << "blue at " << x << "," << y;
  }
}

TEST(ExternalLibrariesTest, ZlibDeflateInflateRoundTripChecksEveryReturnCode) {
  // Compressible but not trivial: repeated runs with a slowly changing value.
  std::vector<uint8_t> input(100000);
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<uint8_t>((i / 37) * 7 + i % 5);

  // The settings the PNG writer uses: window bits 15, memory level 9.
  z_stream deflater{};
  ASSERT_EQ(deflateInit2(&deflater, 9, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY), Z_OK);
  std::vector<uint8_t> compressed(deflateBound(&deflater, static_cast<uLong>(input.size())));
  deflater.next_in = input.data();
  deflater.avail_in = static_cast<uInt>(input.size());
  deflater.next_out = compressed.data();
  deflater.avail_out = static_cast<uInt>(compressed.size());
  ASSERT_EQ(deflate(&deflater, Z_FINISH), Z_STREAM_END);
  compressed.resize(deflater.total_out);
  ASSERT_EQ(deflateEnd(&deflater), Z_OK);
  EXPECT_LT(compressed.size(), input.size() / 4);

  // Inflate through a small output window to exercise repeated calls.
  z_stream inflater{};
  ASSERT_EQ(inflateInit2(&inflater, 15), Z_OK);
  inflater.next_in = compressed.data();
  inflater.avail_in = static_cast<uInt>(compressed.size());
  std::vector<uint8_t> output;
  uint8_t window[4096];
  int ret = Z_OK;
  while (ret == Z_OK) {
    inflater.next_out = window;
    inflater.avail_out = sizeof window;
    ret = inflate(&inflater, Z_NO_FLUSH);
    ASSERT_TRUE(ret == Z_OK || ret == Z_STREAM_END) << "inflate returned " << ret;
    output.insert(output.end(), window, window + (sizeof window - inflater.avail_out));
  }
  EXPECT_EQ(inflater.avail_in, 0u);
  ASSERT_EQ(inflateEnd(&inflater), Z_OK);
  EXPECT_EQ(output, input);

  // A damaged stream is reported, not silently accepted.
  compressed[compressed.size() / 2] ^= 0x55;
  ASSERT_EQ(inflateInit2(&inflater, 15), Z_OK);
  inflater.next_in = compressed.data();
  inflater.avail_in = static_cast<uInt>(compressed.size());
  std::vector<uint8_t> sink(input.size() + 1024);
  inflater.next_out = sink.data();
  inflater.avail_out = static_cast<uInt>(sink.size());
  ret = inflate(&inflater, Z_FINISH);
  EXPECT_NE(ret, Z_STREAM_END);
  EXPECT_EQ(inflateEnd(&inflater), Z_OK);
}

}  // namespace
