// UTF-8 <-> windows-1251: any bytes of the code page give well-formed UTF-8 that converts
// back to them (the one byte without a character excepted); any text converts to at most
// as many bytes, and well-formed text that fits the code page comes back unchanged.
#include <string>

#include "automation/windows1251.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace eqd;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  const std::string utf8 = Windows1251ToUtf8(bytes);
  EQ_FUZZ_CHECK(fuzz::IsWellFormedUtf8(utf8));
  if (bytes.find('\x98') == std::string::npos) {
    EQ_FUZZ_CHECK(FitsWindows1251(utf8));
    EQ_FUZZ_CHECK(Utf8ToWindows1251(utf8) == bytes);
  }

  const std::string narrow = Utf8ToWindows1251(bytes, '\x98');
  EQ_FUZZ_CHECK(narrow.size() <= bytes.size());
  const bool fits = FitsWindows1251(bytes);
  EQ_FUZZ_CHECK(fits == (narrow.find('\x98') == std::string::npos));
  if (fits && fuzz::IsWellFormedUtf8(bytes)) EQ_FUZZ_CHECK(Windows1251ToUtf8(narrow) == bytes);
  return 0;
}
