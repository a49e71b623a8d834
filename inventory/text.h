// Text helpers for the names the menu bar reports and the queries the user types, on ICU: white
// space and case by the Unicode properties, and ordering and search by the collation rules of the
// user's locale, as a Mac orders and searches names in the Finder. All take and give UTF-8.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct UCollator;

namespace tucklet {

// Removes leading and trailing white space: every character with the Unicode White_Space
// property, so line breaks, no-break and ideographic spaces too.
std::string trimmed(std::string_view text);

// The pieces of `text` between runs of white space (as `trimmed` knows it), never empty ones;
// none for an empty or all-blank text.
std::vector<std::string> whiteSpaceTokens(std::string_view text);

// Full Unicode case folding, the same in every locale ("Straße" and "STRASSE" both give
// "strasse", final and medial sigma both give "σ"). Texts folded alike are equal ignoring case,
// and one contains the other ignoring case when its folding contains the other's.
std::string caseFolded(std::string_view text);

// The Unicode lower-case and upper-case mappings, the same in every locale.
std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);

// User-perceived characters (grapheme clusters): "e" with a combining accent is one.
std::size_t characterCount(std::string_view text);

// Ordering and search under one locale's collation rules. Safe to share between threads.
class Collation {
 public:
  // `locale` in ICU or POSIX spelling ("de", "sv_SE", "tr_TR.UTF-8"). "C", "POSIX" and empty
  // mean the root collation, the neutral order for a machine that names no language.
  explicit Collation(std::string_view locale);
  ~Collation();
  Collation(const Collation&) = delete;
  Collation& operator=(const Collation&) = delete;

  // The user's locale, from the environment as for any program (LC_ALL, then LC_COLLATE, then
  // LANG); made on first use and kept for the life of the process.
  static const Collation& user();

  // The Finder's order: case and width ignored, runs of digits (in any script) compared as
  // numbers, so "Item 2" comes before "Item 10". Names that order alike still differ in a fixed
  // way (by their UTF-8 bytes), so the order is total and a sort never depends on its input order.
  int compare(std::string_view a, std::string_view b) const;

  // Localized standard containment: case, width and diacritics ignored as the locale sees them
  // ("resume" finds "Résumé"; "STRASSE" finds "Straße"). An empty needle is in every text.
  bool contains(std::string_view haystack, std::string_view needle) const;

  // Containment that ignores case but not diacritics, as the locale sees case (in Turkish "I" is
  // the capital of dotless "ı", not of "i").
  bool containsIgnoringCase(std::string_view haystack, std::string_view needle) const;

  // Whether every white-space token of `query` is contained in `haystack` as `contains` finds
  // it; a query without tokens matches every haystack. This is how the search field matches.
  bool containsEveryToken(std::string_view haystack, std::string_view query) const;

 private:
  struct CollatorDeleter {
    void operator()(UCollator* collator) const;
  };
  using CollatorPtr = std::unique_ptr<UCollator, CollatorDeleter>;

  CollatorPtr ordering_;         // secondary strength, numeric
  CollatorPtr ignoringAccents_;  // primary strength, for search
  CollatorPtr ignoringCase_;     // secondary strength, for search
};

// The same three under the user's locale.
int localizedStandardCompare(std::string_view a, std::string_view b);
bool localizedStandardContains(std::string_view haystack, std::string_view needle);
bool localizedCaseInsensitiveContains(std::string_view haystack, std::string_view needle);

}  // namespace tucklet
