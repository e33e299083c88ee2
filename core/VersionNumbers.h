// Version numbers as text: the Windows-free half of the version-information reader.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pur {

// Major, minor, release and build, in that order.
struct TVersionNumbers {
  int32_t Major = 0;
  int32_t Minor = 0;
  int32_t Release = 0;
  int32_t Build = 0;
  bool operator==(const TVersionNumbers&) const = default;
};

// The run-time library's conversion error: a text that is not a decimal integer.
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "%d.%d.%d.%d" of the two 16-bit halves of each 32-bit half, as unsigned numbers.
std::string FormatVersion(uint32_t mostSignificant, uint32_t leastSignificant);

// Decimal integer with an optional sign; anything else raises EConvertError.
int32_t StrToInt(std::string_view text);

// The dotted version text's numbers; parts past the fourth are consumed and ignored,
// an empty text is "0.0.0.0", a part that is no integer raises EConvertError.
TVersionNumbers ParseVersion(std::string_view text);

// Fills the banner format ("%s v%d.%d %s") in order; only %s, %d and %% are known,
// anything else is copied as it stands, so a damaged format can never read past its arguments.
std::string FormatBanner(std::string_view format, std::string_view productName, int32_t major,
                         int32_t minor, std::string_view copyright);

}  // namespace pur
