// Number and text conversions, table-driven from their documented examples plus the cases
// where a rounded fraction carries into the integer part.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "foundation/convert.h"

namespace {

struct IntCase {
  int value, digits, plus;
  const char* want;
};

TEST(IntToStr, Table) {
  const IntCase cases[] = {
      {7, 3, 0, "007"},     {-7, 3, 0, "-007"},        {7, 0, 1, "+7"},        {1234, 2, 0, "1234"},
      {0, 0, 0, "0"},       {0, 0, 1, "+0"},           {-1, 0, 1, "-1"},       {5, 12, 0, "0000000005"},
      {42, 10, 0, "0000000042"}, {1000000000, 0, 0, "1000000000"},         {-90, 1, 0, "-90"},
      {INT_MAX, 0, 0, "2147483647"}, {INT_MIN, 0, 0, "-2147483648"}, {INT_MIN, 12, 1, "-2147483648"},
  };
  for (const IntCase& c : cases) {
    char out[12];
    int_to_str(c.value, out, c.digits, c.plus);
    EXPECT_STREQ(out, c.want) << c.value << " digits " << c.digits << " plus " << c.plus;
  }
}

TEST(StrToInt, Table) {
  const std::pair<const char*, int> cases[] = {
      {"42", 42},  {"-42", -42},  {"+7", 7},   {"4+2", 412}, {"4-2", 392},        {"1234567890", -1},
      {"-", -1},   {"", -1},      {"007", 7},  {"123456789", 123456789},          {" 7", -1},
      {"12a", -1}, {"+", -1},     {"-123456789", -123456789},                    {"999999999", 999999999},
      {"1.5", -1}, {"-0", 0},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(str_to_int(text), want) << '"' << text << '"';
}

struct FltCase {
  float value;
  int width, decimals, sign;
  const char* want;
};

TEST(FltToStr, DocumentedExamples) {
  const FltCase cases[] = {
      {5.25f, 3, 1, 0, " 5.3"}, {12.04f, 3, 1, 0, "12.0"}, {-3.5f, 4, 1, 0, "-  3.5"},
      {7.0f, 2, 0, 1, "  7"},   {0.04f, 3, 1, 0, " 0.0"},  {-0.5f, 3, 1, 0, "- 0.5"},
      {1.5f, 2, 1, 0, "1.5"},   {2.5f, 2, 1, 1, " 2.5"},   {123.25f, 2, 1, 0, "123.3"},
  };
  for (const FltCase& c : cases) {
    std::string out;
    flt_to_str(c.value, &out, c.width, c.decimals, c.sign);
    EXPECT_EQ(out, c.want) << c.value << " w" << c.width << " d" << c.decimals;
  }
}

TEST(FltToStr, RoundedFractionCarriesIntoIntegerPart) {
  const FltCase cases[] = {
      {9.96f, 3, 1, 0, "10.0"},   {0.96f, 3, 1, 0, " 1.0"},  {-9.96f, 3, 1, 0, "-10.0"},
      {1.999f, 3, 2, 0, "2.00"},  {99.99f, 2, 1, 0, "100.0"}, {-0.97f, 3, 1, 0, "- 1.0"},
      {0.999f, 2, 1, 1, " 1.0"},
  };
  for (const FltCase& c : cases) {
    std::string out;
    flt_to_str(c.value, &out, c.width, c.decimals, c.sign);
    EXPECT_EQ(out, c.want) << c.value << " w" << c.width << " d" << c.decimals;
  }
}

TEST(FltToStr, NegativeDecimalsLeaveOutputAlone) {
  std::string out = "untouched";
  flt_to_str(3.0f, &out, 3, -1, 0);
  EXPECT_EQ(out, "untouched");
}

TEST(FltToStr, ValuesOutsideIntRangeAreHeld) {
  std::string out;
  flt_to_str(std::numeric_limits<float>::infinity(), &out, 3, 1, 0);
  EXPECT_EQ(out, "2147483647.0");
  flt_to_str(-1e20f, &out, 3, 1, 0);
  EXPECT_EQ(out, "-2147483648.0");
  flt_to_str(std::nanf(""), &out, 3, 1, 0);
  EXPECT_EQ(out, " 0.0");
  flt_to_str(2147483648.0f, &out, 1, 0, 0);
  EXPECT_EQ(out, "2147483647");
}

TEST(GetPathWithPath, SplitsFolderAndLeaf) {
  const struct {
    const char *path, *folder, *leaf;
  } cases[] = {
      {"a/b/c", "a/b/", "c"}, {"abc", "", "abc"},  {"/abc", "/", "abc"}, {"a/b/", "a/", "b/"},
      {"ab/", "", "ab/"},     {"a/", "a/", ""},    {"", "", ""},         {"/", "/", ""},
      {"/x/y/z.txt", "/x/y/", "z.txt"},
  };
  for (const auto& c : cases) {
    std::string folder = "stale";
    get_path_with_path(folder, c.path);
    EXPECT_EQ(folder, c.folder) << c.path;
    EXPECT_EQ(get_path_leaf(), c.leaf) << c.path;
  }
}

TEST(CharStringToIntString, RecodesNumbersIntoBytePairs) {
  std::string text = "65 300";
  char_string_to_int_string(&text);
  EXPECT_EQ(text, std::string({1, 66, 3, 47}));

  // A fourth character in a row starts the next number.
  text = "1234";
  char_string_to_int_string(&text);
  EXPECT_EQ(text, std::string({1, 124, 1, 5}));

  // Each call yields its own text's bytes, not the previous call's as well.
  text = "0";
  char_string_to_int_string(&text);
  EXPECT_EQ(text, std::string({1, 1}));

  // Negative numbers add nothing.
  text = "5 -1";
  char_string_to_int_string(&text);
  EXPECT_EQ(text, std::string({1, 6}));
}

TEST(CharStringToIntString, LeavesMarkedTextsAlone) {
  for (const char* keep : {"=menu", "-5 6", ""}) {
    std::string text = keep;
    char_string_to_int_string(&text);
    EXPECT_EQ(text, keep);
  }
}

}  // namespace
