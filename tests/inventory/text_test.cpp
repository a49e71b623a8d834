// The text helpers: white space and case by the Unicode properties, and the order and search of
// names under a named locale, so that what is checked does not depend on the machine's settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inventory/text.h"

namespace tucklet {
namespace {

using Tokens = std::vector<std::string>;

TEST(TextTest, WhiteSpaceIsEveryUnicodeSpace) {
  EXPECT_EQ(trimmed("  \t AXMenuBarItem \n"), "AXMenuBarItem");
  // No-break, ideographic, Ogham, paragraph separator, next line; a zero-width space is not one.
  EXPECT_EQ(trimmed("\u00A0na me\u3000\u1680\u2029\u0085"), "na me");
  EXPECT_EQ(trimmed("\u200Bname"), "\u200Bname");
  EXPECT_EQ(trimmed(" \u3000 "), "");
  EXPECT_EQ(trimmed(" \xFF\xC3 "), "\xFF\xC3") << "ill-formed bytes are kept as text";
  EXPECT_EQ(whiteSpaceTokens(" Wi\u3000Fi\u00A0\tbar "), (Tokens{"Wi", "Fi", "bar"}));
  EXPECT_EQ(whiteSpaceTokens("\u2003 \n"), Tokens{});
}

TEST(TextTest, CaseFoldingIsFullUnicodeFolding) {
  EXPECT_EQ(caseFolded("Straße"), caseFolded("STRASSE"));
  EXPECT_EQ(caseFolded("ΟΔΟΣ"), caseFolded("οδος")) << "final sigma";
  EXPECT_EQ(caseFolded("ＡＢＣ ﬓ Ա"), "ａｂｃ մն ա") << "full-width and Armenian letters";
  EXPECT_EQ(lowercased("ÄBC Ωmega"), "äbc ωmega");
  EXPECT_EQ(characterCount("e\u0301e\u0301"), 2u) << "a combining accent is part of its letter";
  EXPECT_EQ(characterCount("🇩🇪x"), 2u);
}

TEST(TextTest, FinderOrderIsNumericCaseInsensitiveTotalAndLocal) {
  // A machine set to the C locale names no language: it still sorts letters, not code points.
  const Collation root("C.UTF-8");
  EXPECT_LT(root.compare("Item 2", "Item 10"), 0);
  EXPECT_GT(root.compare("item 010", "Item 9"), 0);
  EXPECT_LT(root.compare("apple", "Banana"), 0);
  EXPECT_LT(root.compare("Bluetooth", "clock"), 0);
  EXPECT_LT(root.compare("a", "ab"), 0);
  EXPECT_EQ(root.compare("same", "same"), 0);
  EXPECT_LT(root.compare("Item 2", "item 2"), 0) << "alike names still have one fixed order";
  EXPECT_GT(root.compare("item 2", "Item 2"), 0);

  // Full-width digits are numbers too.
  const Collation japanese("ja_JP");
  EXPECT_LT(japanese.compare("項目２", "項目１０"), 0);
  EXPECT_LT(japanese.compare("Item ２", "Item 10"), 0);
  // In Turkish "ç" is a letter of its own after "c"; in English a "c" with a cedilla.
  EXPECT_GT(Collation("tr_TR.UTF-8").compare("çay", "cz"), 0);
  EXPECT_LT(Collation("en_US").compare("çay", "cz"), 0);
  EXPECT_LT(Collation("el_GR").compare("άλφα", "Βήτα"), 0);
}

TEST(TextTest, SearchIgnoresCaseAndDiacriticsAsTheLocaleSeesThem) {
  const Collation english("en_US"), turkish("tr_TR");
  EXPECT_TRUE(english.contains("Résumé.pdf", "resume"));
  EXPECT_TRUE(english.contains("Cafe\u0301", "CAFÉ")) << "a decomposed accent";
  EXPECT_TRUE(Collation("de_DE").contains("Straße", "STRASSE"));
  EXPECT_TRUE(Collation("el_GR").contains("ΟΔΌΣ", "οδος"));
  EXPECT_TRUE(Collation("ja_JP").contains("Item ２", "2"));
  EXPECT_FALSE(english.contains("Wi-Fi", "WiFi"));
  EXPECT_TRUE(english.contains("Wi-Fi", ""));
  // The Turkish capital "I" belongs to dotless "ı".
  EXPECT_TRUE(turkish.contains("KAPI", "kapı"));
  EXPECT_FALSE(turkish.contains("KAPI", "kapi"));
  EXPECT_TRUE(english.contains("KAPI", "kapi"));

  EXPECT_TRUE(english.containsIgnoringCase("Docker: Server RUNNING", "server running"));
  EXPECT_FALSE(turkish.containsIgnoringCase("Docker: Server RUNNING", "server running"));
  EXPECT_FALSE(english.containsIgnoringCase("Résumé", "resume")) << "accents count here";

  // The search field's rule: each token on its own, and a blank query matches everything.
  EXPECT_TRUE(english.containsEveryToken("Wi-Fi Control Center ", " wi\u3000FI "));
  EXPECT_FALSE(english.containsEveryToken("Wi-Fi Control Center ", "wifi"));
  EXPECT_FALSE(english.containsEveryToken("Résumé Pages", "resume keynote"));
  EXPECT_TRUE(english.containsEveryToken("Wi-Fi", " \u00A0 "));
}

}  // namespace
}  // namespace tucklet
