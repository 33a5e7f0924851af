// The portable half of language.h: locale names to language identifiers.
#include "platform/os/language.h"

#include <string>

namespace zan::os {

namespace {

struct Entry {
  const char* language;  // ISO 639 code, lower case
  const char* country;   // ISO 3166 code, upper case; nullptr: any other country
  uint16_t id;
};

// Country-specific entries precede their language's catch-all.
constexpr Entry kTable[] = {
    {"ja", nullptr, 0x0411},
    {"de", "AT", 0x0C07}, {"de", "CH", 0x0807}, {"de", nullptr, 0x0407},
    {"zh", "TW", 0x0404}, {"zh", "HK", 0x0C04}, {"zh", "SG", 0x1004}, {"zh", "MO", 0x1404},
    {"zh", nullptr, 0x0804},
    {"ko", nullptr, 0x0412},
    {"ru", nullptr, 0x0419},
    {"he", nullptr, 0x040D}, {"iw", nullptr, 0x040D},
    {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C}, {"fr", nullptr, 0x040C},
    {"sv", nullptr, 0x041D},
    {"vi", nullptr, 0x042A},
    {"en", "GB", 0x0809}, {"en", "AU", 0x0C09}, {"en", "CA", 0x1009}, {"en", nullptr, 0x0409},
    {"es", "MX", 0x080A}, {"es", nullptr, 0x0C0A},
    {"it", nullptr, 0x0410},
    {"nl", nullptr, 0x0413},
    {"pt", "BR", 0x0416}, {"pt", nullptr, 0x0816},
    {"pl", nullptr, 0x0415},
    {"cs", nullptr, 0x0405},
    {"da", nullptr, 0x0406},
    {"fi", nullptr, 0x040B},
    {"el", nullptr, 0x0408},
    {"hu", nullptr, 0x040E},
    {"nb", nullptr, 0x0414}, {"no", nullptr, 0x0414},
    {"tr", nullptr, 0x041F},
    {"ar", nullptr, 0x0401},
    {"th", nullptr, 0x041E},
    {"uk", nullptr, 0x0422},
};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace

uint16_t LangIdFromLocale(std::string_view locale) {
  // language[_COUNTRY][.codeset][@modifier]
  locale = locale.substr(0, locale.find_first_of(".@"));
  const size_t sep = locale.find_first_of("_-");
  const std::string language = Lower(locale.substr(0, sep));
  const std::string country = sep == std::string_view::npos ? std::string() : Upper(locale.substr(sep + 1));
  for (const Entry& e : kTable) {
    if (language == e.language && (!e.country || country == e.country)) return e.id;
  }
  return kLangEnglishUs;
}

}  // namespace zan::os
