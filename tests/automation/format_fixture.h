// Tests fix the locale formats instead of depending on the machine's locale.
#pragma once

#include <gtest/gtest.h>

#include "automation/format_settings.h"

namespace eqd::testing {

inline TFormatSettings RussianFormats() {
  TFormatSettings fs;
  fs.DecimalSeparator = ",";
  fs.DateSeparator = ".";
  fs.TimeSeparator = ":";
  fs.ShortDateFormat = "dd.mm.yyyy";
  fs.LongTimeFormat = "hh:nn:ss";
  return fs;
}

// Installs the Russian formats for the test and puts the previous ones back.
class RussianFormatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = *CurrentFormatSettings();
    SetFormatSettings(RussianFormats());
  }
  void TearDown() override { SetFormatSettings(saved_); }

 private:
  TFormatSettings saved_;
};

}  // namespace eqd::testing
