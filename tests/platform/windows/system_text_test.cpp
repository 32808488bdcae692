// The Windows faces of the shared text helpers: wide strings convert with the portable
// UTF-16 rules, and the system's error texts come from one lookup.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/os_error.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace eqd::platform {
namespace {

using win32::Utf8ToWide;
using win32::WideToUtf8;

TEST(WideTextTest, ValidTextRoundTripsAndMalformedTextFollowsThePortableRules) {
  for (const std::string& text : {std::string("Отчёт 𝄞 €"), std::string("zero\0inside", 11), std::string()})
    EXPECT_EQ(WideToUtf8(Utf8ToWide(text)), text);
  EXPECT_EQ(Utf8ToWide("Я"), L"\u042F");
  EXPECT_EQ(Utf8ToWide("a\x80z\xC3"), L"a\uFFFDz\uFFFD");
  EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");  // an encoded surrogate, as Utf8ToUtf16 gives it
  EXPECT_EQ(WideToUtf8(std::wstring{L'a', wchar_t(0xD800), L'b'}), "a\xEF\xBF\xBD" "b");
}

TEST(SystemErrorTextTest, TheSystemsTextWithoutTheLineBreakOrNothing) {
  for (OsErrorCode code : {static_cast<OsErrorCode>(ERROR_FILE_NOT_FOUND), static_cast<OsErrorCode>(ERROR_ACCESS_DENIED)}) {
    const std::string text = SystemErrorText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_NE(text.back(), '\n') << text;
    EXPECT_NE(text.back(), '\r') << text;
    EXPECT_NE(text.back(), ' ') << text;
  }
  EXPECT_EQ(SystemErrorText(0x2EFFFFFF), "");  // no such message
}

TEST(HandlesTest, AFileHandleIsClosedByItsOwner) {
  wchar_t folder[MAX_PATH + 1] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
  const std::wstring path = std::wstring(folder) + L"eqd-handle-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  HANDLE raw = INVALID_HANDLE_VALUE;
  {
    win32::TFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    ASSERT_TRUE(file);
    raw = file.Get();
    DWORD flags = 0;
    EXPECT_TRUE(GetHandleInformation(raw, &flags));
    win32::TFileHandle failed(CreateFileW(L"Z:\\no\\such\\folder\\x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(failed);  // INVALID_HANDLE_VALUE owns nothing
  }
  EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);  // closed, so deleted
}

}  // namespace
}  // namespace eqd::platform
