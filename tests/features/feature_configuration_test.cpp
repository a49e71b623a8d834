#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "features/feature_configuration.h"
#include "features/item_order.h"
#include "features/uuid.h"

namespace tucklet {
namespace {

TEST(Uuid, RandomIdsAreVersionFourAndDistinct) {
  std::set<Uuid> seen;
  for (int i = 0; i < 200; ++i) {
    const auto id = Uuid::random();
    EXPECT_EQ(id.bytes()[6] >> 4, 4);
    EXPECT_EQ(id.bytes()[8] & 0xC0, 0x80);
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 200u);
  EXPECT_NE(ItemGroup{}.id, ItemGroup{}.id) << "each new record gets its own id";
}

TEST(Uuid, TextIsCanonicalUpperCaseAndParsesInEitherCase) {
  const auto id = Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
  ASSERT_TRUE(id);
  EXPECT_EQ(id->text(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  EXPECT_EQ(Uuid::parse(id->text()), id);
  const auto fresh = Uuid::random();
  EXPECT_EQ(Uuid::parse(fresh.text()), fresh);

  for (const char* bad :
       {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5",
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5F0", "E621E1F-8C36C-495A-93FC-0C247A3E6E5F",
        "G621E1F8-C36C-495A-93FC-0C247A3E6E5F", "{621E1F8-C36C-495A-93FC-0C247A3E6E5}",
        " E621E1F8-C36C-495A-93FC-0C247A3E6E5"}) {
    EXPECT_FALSE(Uuid::parse(bad)) << bad;
  }
}

TEST(QuickActionUrl, OnlyWebAndShortcutsSchemesOpen) {
  EXPECT_EQ(openableURL("HTTPS://Example.com/Path"), "HTTPS://Example.com/Path");
  EXPECT_TRUE(openableURL("http://example.com"));
  EXPECT_TRUE(openableURL("shortcuts://run-shortcut?name=Focus"));
  EXPECT_TRUE(openableURL("ShortCuts:x"));

  EXPECT_FALSE(openableURL("ftp://example.com"));
  EXPECT_FALSE(openableURL("example"));
  EXPECT_FALSE(openableURL("example.com/path"));
  EXPECT_FALSE(openableURL(""));
  EXPECT_FALSE(openableURL("https:"));                // nothing after the scheme
  EXPECT_FALSE(openableURL(":https://example.com"));  // no scheme at all
  EXPECT_FALSE(openableURL(" https://example.com"));  // not trimmed
  EXPECT_FALSE(openableURL("ht tp://example.com"));
  EXPECT_FALSE(openableURL("https+x://example.com"));  // well-formed, but another scheme

  QuickAction action;
  EXPECT_FALSE(openableURL(action)) << "a new action has no URL yet";
  action.url = "https://example.com";
  EXPECT_EQ(openableURL(action), "https://example.com");
}

struct Thing {
  std::string id;
  int tag = 0;
};

std::vector<std::string> ids(const std::vector<Thing>& things) {
  std::vector<std::string> result;
  for (const auto& thing : things)
    result.push_back(thing.id);
  return result;
}

TEST(ItemOrder, ListedItemsLeadInOrderAndTheRestKeepTheirPlaces) {
  const std::vector<Thing> items = {{"a"}, {"c"}, {"b"}};
  EXPECT_EQ(ids(orderedItems(items, {"b", "zz", "a"})), (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(ids(orderedItems(items, {})), (std::vector<std::string>{"a", "c", "b"}));

  // The first mention of an id decides its place.
  const std::vector<Thing> more = {{"x"}, {"y"}, {"z"}, {"w"}};
  EXPECT_EQ(ids(orderedItems(more, {"z", "y", "z", "x"})),
            (std::vector<std::string>{"z", "y", "x", "w"}));

  // Any projection names the id; equal ids keep their incoming order.
  const std::vector<Thing> tagged = {{"p", 1}, {"q", 2}, {"p", 3}};
  const auto byTag = orderedItems(tagged, {"q", "p"}, [](const Thing& t) { return t.id; });
  ASSERT_EQ(byTag.size(), 3u);
  EXPECT_EQ(byTag[0].tag, 2);
  EXPECT_EQ(byTag[1].tag, 1);
  EXPECT_EQ(byTag[2].tag, 3);
}

}  // namespace
}  // namespace tucklet
