// Setting a conversion parameter by its INI key name.
#include "settings/conversion_parameters.h"

#include <limits>

#include "platform/text.h"

namespace pixlane {
namespace {

bool ParseInt(std::u16string_view text, int32_t& out) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i == text.size()) return false;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    value = value * 10 + (text[i] - u'0');
    if (value > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1) return false;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return false;
  out = static_cast<int32_t>(value);
  return true;
}

}  // namespace

bool SetConversionParameter(ConversionParameters& p, std::u16string_view key,
                            std::u16string_view value) {
  struct IntField {
    std::u16string_view key;
    int32_t ConversionParameters::*field;
  };
  static const IntField kInts[] = {
      {u"IFmt", &ConversionParameters::IFmt},
      {u"OFmt", &ConversionParameters::OFmt},
      {u"JTrans", &ConversionParameters::JTrans},
      {u"Level", &ConversionParameters::Level},
      {u"Quality", &ConversionParameters::Quality},
      {u"Sampling", &ConversionParameters::Sampling},
      {u"Limit", &ConversionParameters::Limit},
      {u"LmtVal", &ConversionParameters::LmtVal},
      {u"Marker", &ConversionParameters::Marker},
      {u"RszOpt", &ConversionParameters::RszOpt},
      {u"RszSize", &ConversionParameters::RszSize},
      {u"UsmOpt", &ConversionParameters::UsmOpt},
      {u"TurOpt", &ConversionParameters::TurOpt},
      {u"NameSet", &ConversionParameters::NameSet},
      {u"DigitNum", &ConversionParameters::DigitNum},
      {u"StartNum", &ConversionParameters::StartNum},
      {u"TopAdd", &ConversionParameters::TopAdd},
      {u"EndAdd", &ConversionParameters::EndAdd},
      {u"MkDirAdd", &ConversionParameters::MkDirAdd},
      {u"IFileDel", &ConversionParameters::IFileDel},
      {u"Recycle", &ConversionParameters::Recycle},
      {u"DepOpt", &ConversionParameters::DepOpt},
      {u"Interlace", &ConversionParameters::Interlace},
      {u"Progressive", &ConversionParameters::Progressive},
      {u"CmtOpt", &ConversionParameters::CmtOpt},
      {u"HgmOpt", &ConversionParameters::HgmOpt},
      {u"GamOpt", &ConversionParameters::GamOpt},
      {u"GamVal", &ConversionParameters::GamVal},
      {u"CrtOpt", &ConversionParameters::CrtOpt},
      {u"CrtVal", &ConversionParameters::CrtVal},
      {u"HlsSOpt", &ConversionParameters::HlsSOpt},
      {u"HlsSVal", &ConversionParameters::HlsSVal},
      {u"HlsHOpt", &ConversionParameters::HlsHOpt},
      {u"HlsHVal", &ConversionParameters::HlsHVal},
      {u"HtmlTag", &ConversionParameters::HtmlTag},
  };
  for (const IntField& f : kInts) {
    if (EqualsIgnoreCaseAscii(key, f.key)) return ParseInt(value, p.*(f.field));
  }
  struct StringField {
    std::u16string_view key;
    std::u16string ConversionParameters::*field;
  };
  static const StringField kStrings[] = {
      {u"TopStr", &ConversionParameters::TopStr},
      {u"EndStr", &ConversionParameters::EndStr},
      {u"MkDirStr", &ConversionParameters::MkDirStr},
      {u"CmtStr1", &ConversionParameters::CmtStr1},
  };
  for (const StringField& f : kStrings) {
    if (EqualsIgnoreCaseAscii(key, f.key)) {
      p.*(f.field) = std::u16string(value);
      return true;
    }
  }
  // The four extension slots: SelExt0..3 and ExtStr0..3.
  if (key.size() == 7 && key[6] >= u'0' && key[6] <= u'3') {
    const auto slot = static_cast<size_t>(key[6] - u'0');
    if (EqualsIgnoreCaseAscii(key.substr(0, 6), u"SelExt")) return ParseInt(value, p.SelExt[slot]);
    if (EqualsIgnoreCaseAscii(key.substr(0, 6), u"ExtStr")) {
      p.ExtStr[slot] = std::u16string(value);
      return true;
    }
  }
  return false;
}

}  // namespace pixlane
