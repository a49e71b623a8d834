#include "inventory/text.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/stringpiece.h>
#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>
#include <unicode/usearch.h>
#include <unicode/utext.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace tucklet {

namespace {

// ICU counts in 32 bits; names and queries are far shorter, and anything longer is cut short.
std::int32_t length(std::string_view text) {
  return static_cast<std::int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
}

icu::StringPiece piece(std::string_view text) {
  return icu::StringPiece(text.data(), length(text));
}

// Where the first white space at or after `i` starts; ill-formed bytes count as text.
std::int32_t skipText(std::string_view text, std::int32_t i) {
  while (i < length(text)) {
    const auto start = i;
    UChar32 c;
    U8_NEXT(text.data(), i, length(text), c);
    if (c >= 0 && u_isUWhiteSpace(c)) return start;
  }
  return i;
}

std::int32_t skipWhiteSpace(std::string_view text, std::int32_t i) {
  while (i < length(text)) {
    const auto start = i;
    UChar32 c;
    U8_NEXT(text.data(), i, length(text), c);
    if (c < 0 || !u_isUWhiteSpace(c)) return start;
  }
  return i;
}

// ICU names the "C" and "POSIX" locales en_US_POSIX, whose collation is plain code point order
// (every capital before every small letter); a machine set to them has named no language, so it
// gets the root order instead.
std::string icuLocale(std::string_view locale) {
  const std::string name(locale);
  char canonical[ULOC_FULLNAME_CAPACITY] = {};
  char language[ULOC_LANG_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_canonicalize(name.c_str(), canonical, sizeof canonical, &status);
  uloc_getLanguage(canonical, language, sizeof language, &status);
  if (U_FAILURE(status)) return {};
  const std::string_view lang = language;
  if (lang == "c" || lang == "posix") return {};
  return canonical;
}

std::string userLocale() {
  for (const char* variable : {"LC_ALL", "LC_COLLATE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return {};
}

// A locale ICU has no rules for gets the root rules. Only missing ICU data could fail here; then
// names keep their byte order and searches find nothing, rather than the program failing.
UCollator* openCollator(const std::string& locale, UColAttributeValue strength, bool numeric) {
  UErrorCode status = U_ZERO_ERROR;
  UCollator* collator = ucol_open(locale.c_str(), &status);
  if (U_FAILURE(status)) return nullptr;
  ucol_setStrength(collator, strength);
  // Digit runs as numbers is the Finder's order; ICU's string search cannot work with it.
  ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, numeric ? UCOL_ON : UCOL_OFF, &status);
  if (U_FAILURE(status)) {
    ucol_close(collator);
    return nullptr;
  }
  return collator;
}

struct SearchDeleter {
  void operator()(UStringSearch* search) const { usearch_close(search); }
};

bool search(const UCollator* collator, const icu::UnicodeString& text,
            const icu::UnicodeString& pattern) {
  if (pattern.isEmpty()) return true;
  if (text.isEmpty()) return false;
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<UStringSearch, SearchDeleter> searching(
      usearch_openFromCollator(pattern.getBuffer(), pattern.length(), text.getBuffer(),
                               text.length(), collator, nullptr, &status));
  if (U_FAILURE(status)) return false;
  const auto found = usearch_first(searching.get(), &status);
  return U_SUCCESS(status) && found != USEARCH_DONE;
}

bool search(const UCollator* collator, std::string_view haystack, std::string_view needle) {
  return search(collator, icu::UnicodeString::fromUTF8(piece(haystack)),
                icu::UnicodeString::fromUTF8(piece(needle)));
}

}  // namespace

std::string trimmed(std::string_view text) {
  const auto begin = skipWhiteSpace(text, 0);
  // From the end back, so that a long name costs no more than its white space.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  auto end = length(text);
  while (end > begin) {
    auto i = end;
    UChar32 c;
    // ICU's macro casts in the C way; the pointer is of the type it casts to already.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
    U8_PREV(bytes, begin, i, c);
#pragma GCC diagnostic pop
    if (c < 0 || !u_isUWhiteSpace(c)) break;
    end = i;
  }
  return std::string(
      text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}

std::vector<std::string> whiteSpaceTokens(std::string_view text) {
  std::vector<std::string> tokens;
  for (auto begin = skipWhiteSpace(text, 0); begin < length(text);) {
    const auto end = skipText(text, begin);
    tokens.emplace_back(
        text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
    begin = skipWhiteSpace(text, end);
  }
  return tokens;
}

std::string caseFolded(std::string_view text) {
  std::string out;
  icu::StringByteSink<std::string> sink(&out, length(text));
  UErrorCode status = U_ZERO_ERROR;
  icu::CaseMap::utf8Fold(U_FOLD_CASE_DEFAULT, piece(text), sink, nullptr, status);
  return out;
}

std::string lowercased(std::string_view text) {
  std::string out;
  icu::StringByteSink<std::string> sink(&out, length(text));
  UErrorCode status = U_ZERO_ERROR;
  icu::CaseMap::utf8ToLower("", 0, piece(text), sink, nullptr, status);
  return out;
}

std::string uppercased(std::string_view text) {
  std::string out;
  icu::StringByteSink<std::string> sink(&out, length(text));
  UErrorCode status = U_ZERO_ERROR;
  icu::CaseMap::utf8ToUpper("", 0, piece(text), sink, nullptr, status);
  return out;
}

std::size_t characterCount(std::string_view text) {
  struct BreakDeleter {
    void operator()(UBreakIterator* iterator) const { ubrk_close(iterator); }
  };
  // Opening a break iterator loads its rules; each thread keeps one and points it at new text.
  thread_local const std::unique_ptr<UBreakIterator, BreakDeleter> breaks([] {
    UErrorCode status = U_ZERO_ERROR;
    return ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
  }());
  std::size_t count = 0;
  if (!breaks) return count;  // only without ICU's data
  UErrorCode status = U_ZERO_ERROR;
  UText utf8 = UTEXT_INITIALIZER;
  utext_openUTF8(&utf8, text.data(), length(text), &status);
  ubrk_setUText(breaks.get(), &utf8, &status);
  if (U_SUCCESS(status)) {
    ubrk_first(breaks.get());
    while (ubrk_next(breaks.get()) != UBRK_DONE)
      ++count;
  }
  utext_close(&utf8);
  return count;
}

void Collation::CollatorDeleter::operator()(UCollator* collator) const {
  ucol_close(collator);
}

Collation::Collation(std::string_view locale) {
  const auto name = icuLocale(locale);
  ordering_.reset(openCollator(name, UCOL_SECONDARY, true));
  ignoringAccents_.reset(openCollator(name, UCOL_PRIMARY, false));
  ignoringCase_.reset(openCollator(name, UCOL_SECONDARY, false));
}

Collation::~Collation() = default;

const Collation& Collation::user() {
  static const Collation collation(userLocale());
  return collation;
}

int Collation::compare(std::string_view a, std::string_view b) const {
  if (ordering_) {
    UErrorCode status = U_ZERO_ERROR;
    const auto order =
        ucol_strcollUTF8(ordering_.get(), a.data(), length(a), b.data(), length(b), &status);
    if (U_SUCCESS(status) && order != UCOL_EQUAL) return order == UCOL_LESS ? -1 : 1;
  }
  const auto bytes = a.compare(b);
  return bytes < 0 ? -1 : bytes > 0 ? 1 : 0;
}

bool Collation::contains(std::string_view haystack, std::string_view needle) const {
  return search(ignoringAccents_.get(), haystack, needle);
}

bool Collation::containsIgnoringCase(std::string_view haystack, std::string_view needle) const {
  return search(ignoringCase_.get(), haystack, needle);
}

bool Collation::containsEveryToken(std::string_view haystack, std::string_view query) const {
  const auto tokens = whiteSpaceTokens(query);
  if (tokens.empty()) return true;
  const auto text = icu::UnicodeString::fromUTF8(piece(haystack));
  for (const auto& token : tokens)
    if (!search(ignoringAccents_.get(), text, icu::UnicodeString::fromUTF8(token))) return false;
  return true;
}

int localizedStandardCompare(std::string_view a, std::string_view b) {
  return Collation::user().compare(a, b);
}

bool localizedStandardContains(std::string_view haystack, std::string_view needle) {
  return Collation::user().contains(haystack, needle);
}

bool localizedCaseInsensitiveContains(std::string_view haystack, std::string_view needle) {
  return Collation::user().containsIgnoringCase(haystack, needle);
}

}  // namespace tucklet
