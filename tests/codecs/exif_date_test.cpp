// Exif date tests over synthetic files: both byte orders, an XMP APP1 in
// front of the Exif one, and hostile structures (offsets, counts and
// lengths pointing outside the segment) that must give no date and never
// read outside the bytes.
#include "codecs/exif_date.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "jpeg_test_util.h"
#include "support/test_support.h"

namespace pixlane {
namespace {

constexpr char kDate[] = "2009:03:14 15:26:53";

// A TIFF structure: header, IFD0 with one entry (Exif IFD pointer), Exif IFD
// with DateTimeOriginal, then the 20 date bytes. Offsets may be overridden.
struct TiffLayout {
  bool littleEndian = true;
  uint32_t ifd0 = 8;
  uint32_t exifIfd = 26;
  uint32_t dateOffset = 44;
  uint16_t ifd0Count = 1;
  uint16_t exifCount = 1;
  uint16_t exifTag = 34665;
  uint16_t dateTag = 36867;
};

class Bytes {
 public:
  explicit Bytes(bool little) : little_(little) {}
  void U16(uint32_t v) { little_ ? Put(v, 0, 8) : Put(v, 8, 0); }
  void U32(uint32_t v) {
    if (little_) {
      for (int s = 0; s < 32; s += 8) data.push_back(static_cast<uint8_t>(v >> s));
    } else {
      for (int s = 24; s >= 0; s -= 8) data.push_back(static_cast<uint8_t>(v >> s));
    }
  }
  std::vector<uint8_t> data;

 private:
  void Put(uint32_t v, int first, int second) {
    data.push_back(static_cast<uint8_t>(v >> first));
    data.push_back(static_cast<uint8_t>(v >> second));
  }
  bool little_;
};

std::vector<uint8_t> MakeTiff(const TiffLayout& t) {
  Bytes b(t.littleEndian);
  b.data = t.littleEndian ? std::vector<uint8_t>{'I', 'I'} : std::vector<uint8_t>{'M', 'M'};
  b.U16(42);
  b.U32(t.ifd0);
  b.U16(t.ifd0Count);  // offset 8
  b.U16(t.exifTag);
  b.U16(4);
  b.U32(1);
  b.U32(t.exifIfd);
  b.U32(0);
  b.U16(t.exifCount);  // offset 26
  b.U16(t.dateTag);
  b.U16(2);
  b.U32(20);
  b.U32(t.dateOffset);
  b.U32(0);
  b.data.insert(b.data.end(), kDate, kDate + 20);  // offset 44
  return b.data;
}

std::vector<uint8_t> ExifPayload(const std::vector<uint8_t>& tiff) {
  static constexpr char kSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
  std::vector<uint8_t> p(sizeof kSignature + tiff.size());
  std::copy(std::begin(kSignature), std::end(kSignature), p.begin());
  std::copy(tiff.begin(), tiff.end(), p.begin() + sizeof kSignature);
  return p;
}

// SOI, the given segments, then the start of a scan.
std::vector<uint8_t> MakeFile(const std::vector<std::vector<uint8_t>>& segments) {
  std::vector<uint8_t> file = {0xFF, 0xD8};
  for (const auto& s : segments) file.insert(file.end(), s.begin(), s.end());
  const std::vector<uint8_t> sos = test::JpegSegmentBytes(0xDA, {1, 1, 0, 0, 63, 0});
  file.insert(file.end(), sos.begin(), sos.end());
  return file;
}

std::string Read(const std::vector<uint8_t>& file) {
  ExifDateBytes date;
  date.fill('?');
  if (!ReadExifDate(file.data(), file.size(), date)) {
    for (char c : date) EXPECT_EQ(c, '\0');
    return "none";
  }
  return std::string(date.data());
}

TEST(ExifDate, ReadsBothByteOrdersAndSkipsOtherApp1Segments) {
  const std::vector<uint8_t> jfif =
      test::JpegSegmentBytes(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
  const std::vector<uint8_t> xmp =
      test::JpegSegmentBytes(0xE1, std::vector<uint8_t>{'h', 't', 't', 'p', ':', '/', '/', 'x', 0});
  for (bool little : {true, false}) {
    TiffLayout layout;
    layout.littleEndian = little;
    const std::vector<uint8_t> exif = test::JpegSegmentBytes(0xE1, ExifPayload(MakeTiff(layout)));
    EXPECT_EQ(Read(MakeFile({jfif, exif})), kDate) << little;
    EXPECT_EQ(Read(MakeFile({jfif, xmp, exif})), kDate) << little;
    // Fill bytes before a marker are allowed.
    std::vector<uint8_t> filled = {0xFF, 0xFF};
    filled.insert(filled.end(), exif.begin(), exif.end());
    EXPECT_EQ(Read(MakeFile({filled})), kDate) << little;
  }
}

TEST(ExifDate, GivesNoDateForMissingOrHostileStructures) {
  struct Case {
    const char* name;
    TiffLayout layout;
    size_t cut;  // bytes of the TIFF structure kept (0: all)
  };
  TiffLayout base;
  auto with = [&base](auto change) {
    TiffLayout t = base;
    change(t);
    return t;
  };
  const Case cases[] = {
      {"no Exif IFD pointer", with([](TiffLayout& t) { t.exifTag = 1; }), 0},
      {"zero Exif IFD pointer", with([](TiffLayout& t) { t.exifIfd = 0; }), 0},
      {"no DateTimeOriginal", with([](TiffLayout& t) { t.dateTag = 306; }), 0},
      {"IFD0 past the end", with([](TiffLayout& t) { t.ifd0 = 0xFFFFFFF0u; }), 0},
      {"Exif IFD past the end", with([](TiffLayout& t) { t.exifIfd = 1000; }), 0},
      {"date past the end", with([](TiffLayout& t) { t.dateOffset = 0xFFFFFFFFu; }), 0},
      {"date one byte short", with([](TiffLayout& t) { t.dateOffset = 45; }), 0},
      {"huge entry count", with([](TiffLayout& t) {
         t.ifd0Count = 0xFFFF;
         t.exifTag = 2;
       }),
       0},
      {"cut inside the date", base, 60},
      {"cut inside IFD0", base, 14},
      {"header only", base, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> tiff = MakeTiff(c.layout);
    if (c.cut != 0) tiff.resize(c.cut);
    EXPECT_EQ(Read(MakeFile({test::JpegSegmentBytes(0xE1, ExifPayload(tiff))})), "none");
  }
  // The date ending exactly at the segment's end is read.
  TiffLayout exact;
  EXPECT_EQ(Read(MakeFile({test::JpegSegmentBytes(0xE1, ExifPayload(MakeTiff(exact)))})), kDate);
}

TEST(ExifDate, StopsAtBrokenMarkersScansAndTheEnd) {
  const std::vector<uint8_t> exif =
      test::JpegSegmentBytes(0xE1, ExifPayload(MakeTiff(TiffLayout{})));
  std::vector<uint8_t> broken = {0xFF, 0xD8, 0xFF, 0xE2, 0x00, 0x01};  // length below 2
  broken.insert(broken.end(), exif.begin(), exif.end());
  EXPECT_EQ(Read(broken), "none");
  std::vector<uint8_t> pastEnd = {0xFF, 0xD8, 0xFF, 0xE2, 0x7F, 0xFF, 1, 2, 3};
  EXPECT_EQ(Read(pastEnd), "none");
  // An Exif segment behind the first scan is not looked at.
  std::vector<uint8_t> afterScan = MakeFile({});
  afterScan.insert(afterScan.end(), exif.begin(), exif.end());
  EXPECT_EQ(Read(afterScan), "none");
  // A truncated Exif segment still gives a date when the bytes are there.
  std::vector<uint8_t> truncated = {0xFF, 0xD8};
  truncated.insert(truncated.end(), exif.begin(), exif.end());
  truncated[5] = static_cast<uint8_t>(truncated[5] + 40);
  EXPECT_EQ(Read(truncated), kDate);
  for (size_t n = 0; n < 6; ++n)
    EXPECT_EQ(
        Read(std::vector<uint8_t>(broken.begin(), broken.begin() + static_cast<std::ptrdiff_t>(n))),
        "none");
}

TEST(ExifDate, ReadsTheDateOfAFileAndReleasesIt) {
  test::ScratchFolder folder;
  const std::u16string path = folder.File("photo.jpg");
  ASSERT_TRUE(test::WriteWholeFile(
      path, MakeFile({test::JpegSegmentBytes(0xE1, ExifPayload(MakeTiff(TiffLayout{false})))})));
  ExifReader reader;
  ASSERT_TRUE(ReadExifDateFile(reader, path));
  EXPECT_TRUE(reader.present);
  EXPECT_EQ(std::string(reader.date.data()), kDate);
  EXPECT_EQ(reader.file.mapping.data(), nullptr);
  EXPECT_FALSE(ReadExifDateFile(reader, folder.File("missing.jpg")));
  EXPECT_FALSE(reader.present);
  EXPECT_EQ(reader.date[0], '\0');
}

}  // namespace
}  // namespace pixlane
