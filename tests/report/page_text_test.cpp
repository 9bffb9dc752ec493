// SPDX-License-Identifier: GPL-3.0-or-later
// Player texts made UTF-8 for the pages: UTF-8 kept, anything else read as
// Windows-1252.
#include <gtest/gtest.h>

#include "report/page_text.h"

namespace varnokel {
namespace {

TEST(PageText, Utf8KeptEverythingElseReadAsWindows1252) {
  // Well-formed UTF-8 of every length stays as it is.
  EXPECT_EQ(TextAsUtf8(""), "");
  EXPECT_EQ(TextAsUtf8("Bob 42"), "Bob 42");
  EXPECT_EQ(TextAsUtf8("J\xC3\xBCrgen"), "J\xC3\xBCrgen");  // Jürgen
  EXPECT_EQ(TextAsUtf8("\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD"),
            "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD");  // Иван
  EXPECT_EQ(TextAsUtf8("\xE2\x82\xAC \xED\x9F\xBF"),
            "\xE2\x82\xAC \xED\x9F\xBF");  // U+20AC, U+D7FF
  EXPECT_EQ(TextAsUtf8("\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"), "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF");
  EXPECT_TRUE(IsUtf8("\xC2\x80\xEF\xBF\xBF\xF0\x90\x80\x80"));

  // Windows-1252: every byte by itself, the undefined five as U+0081 etc.
  EXPECT_EQ(TextAsUtf8("J\xFCrgen"), "J\xC3\xBCrgen");
  EXPECT_EQ(TextAsUtf8("\x80\x9F\xA0\xFF"), "\xE2\x82\xAC\xC5\xB8\xC2\xA0\xC3\xBF");
  EXPECT_EQ(TextAsUtf8("a\x81\x8D\x8F\x90\x9D"), "a\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  EXPECT_EQ(Windows1252ToUtf8("\x82\x8A\x99"), "\xE2\x80\x9A\xC5\xA0\xE2\x84\xA2");  // ‚ Š ™

  // Not UTF-8, so the whole text is read as Windows-1252: overlong forms,
  // surrogates, values above U+10FFFF, bad leads, cut or stray sequences, and
  // UTF-8 mixed with a single Windows-1252 byte.
  EXPECT_EQ(TextAsUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF");
  EXPECT_EQ(TextAsUtf8("\xC1\xBF"), "\xC3\x81\xC2\xBF");
  EXPECT_FALSE(IsUtf8("\xE0\x9F\xBF"));                                   // overlong three bytes
  EXPECT_FALSE(IsUtf8("\xF0\x8F\xBF\xBF"));                               // overlong four bytes
  EXPECT_EQ(TextAsUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");  // U+D800
  EXPECT_FALSE(IsUtf8("\xF4\x90\x80\x80"));                               // U+110000
  EXPECT_FALSE(IsUtf8("\xF5\x80\x80\x80"));
  EXPECT_FALSE(IsUtf8("\xFE"));
  EXPECT_EQ(TextAsUtf8("ab\xC3"), "ab\xC3\x83");
  EXPECT_EQ(TextAsUtf8("\xE2\x82"), "\xC3\xA2\xE2\x80\x9A");
  EXPECT_FALSE(IsUtf8("\xF0\x9F\x98"));
  EXPECT_FALSE(IsUtf8("\xC3\xBC\xBC"));  // a continuation byte without a lead
  EXPECT_FALSE(IsUtf8("\xE2\x28\xA1"));  // a second byte that is no continuation
  EXPECT_EQ(TextAsUtf8("J\xC3\xBC \xFC"), "J\xC3\x83\xC2\xBC \xC3\xBC");
  EXPECT_EQ(TextAsUtf8(std::string("\0\xE4", 2)), std::string("\0\xC3\xA4", 3));

  // Escaped after the conversion, so the markup stays markup.
  EXPECT_EQ(PageText("<\xFC & \"x\">"), "&lt;\xC3\xBC &amp; &quot;x&quot;&gt;");
  EXPECT_EQ(PageText("J\xC3\xBCrgen's"), "J\xC3\xBCrgen&#39;s");
}

}  // namespace
}  // namespace varnokel
