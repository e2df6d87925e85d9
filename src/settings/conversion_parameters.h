// The conversion settings record (INI section "CvtPrms") with the program's
// defaults, and setting one value by its INI key name (the CLI's --set).
// Loading from and saving to the INI file are separate units.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pixlane {

// "DepOpt": output bit depth.
enum class DepthOption : int32_t {
  Unchanged = 0,  // "指定なし"
  Bits24 = 1,
  Bits8 = 2,
  Bits4 = 3,
  Bits2 = 4,
  Bits1 = 5,
  Gray8 = 6,  // "8bitグレイスケール"
};

struct ConversionParameters {
  int32_t IFmt = 0;  // input filter: 0 all, 1 BMP, 2 PNG, 3 JPEG, 4 TIFF, 5 GIF, 6 extensions
  std::array<int32_t, 4> SelExt{};
  std::array<std::u16string, 4> ExtStr{};
  int32_t OFmt = 2;  // output format: 0 BMP, 1 PNG, 2 JPEG, 3 TIFF, 4 GIF
  int32_t JTrans = 0;
  int32_t Level = 9;
  int32_t Quality = 75;
  int32_t Sampling = 0;
  int32_t Limit = 0;
  int32_t LmtVal = 100;
  int32_t Marker = 2;
  int32_t RszOpt = 0;
  int32_t RszSize = 100;
  int32_t UsmOpt = 0;
  int32_t TurOpt = 0;
  int32_t NameSet = 0;
  int32_t DigitNum = 2;
  int32_t StartNum = 0;
  int32_t TopAdd = 0;
  int32_t EndAdd = 0;
  std::u16string TopStr;
  std::u16string EndStr;
  int32_t MkDirAdd = 0;
  std::u16string MkDirStr = u"Output";
  int32_t IFileDel = 0;
  int32_t Recycle = 1;
  int32_t DepOpt = 0;
  int32_t Interlace = 0;
  int32_t Progressive = 0;
  int32_t CmtOpt = 0;
  int32_t HgmOpt = 0;
  int32_t GamOpt = 0;
  int32_t GamVal = 0;
  int32_t CrtOpt = 0;
  int32_t CrtVal = 0;
  int32_t HlsSOpt = 0;
  int32_t HlsSVal = 0;
  int32_t HlsHOpt = 0;
  int32_t HlsHVal = 0;
  int32_t HtmlTag = 0;
  std::u16string CmtStr1;  // the comment, with real line breaks
};

// Sets the field named by its INI key (case-insensitive) from text: integers
// in decimal with an optional sign, strings as given. False for an unknown
// key or a malformed integer. Values are not range-checked here, as in the
// INI file itself.
bool SetConversionParameter(ConversionParameters& params, std::u16string_view key,
                            std::u16string_view value);

}  // namespace pixlane
