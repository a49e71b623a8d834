#include "inventory/text.h"

#include <cstdint>
#include <vector>

namespace tucklet {

namespace {

// Decodes UTF-8 leniently: a malformed byte stands for itself (as U+FFFD would lose it).
std::vector<char32_t> decode(std::string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    int length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
      out.push_back(c);
      ++i;
      continue;
    }
    char32_t cp = length == 1 ? c : length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
    bool valid = true;
    for (int k = 1; k < length; ++k) {
      const auto cc = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((cc & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (!valid) {
      out.push_back(c);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += static_cast<std::size_t>(length);
  }
  return out;
}

void encode(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool isSpace(char32_t c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

char32_t lower(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c < 0xC0) return c;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;  // Latin-1
  if (c >= 0x100 && c <= 0x17F) {                             // Latin Extended-A pairs
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c % 2 == 1) ? c + 1 : c;
    if (c == 0x178) return 0xFF;
    return (c % 2 == 0 && c != 0x138 && c != 0x149) ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;  // Greek
  if (c >= 0x410 && c <= 0x42F) return c + 32;                // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

bool isDigit(char32_t c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string trimmed(std::string_view text) {
  const auto cps = decode(text);
  std::size_t begin = 0, end = cps.size();
  while (begin < end && isSpace(cps[begin])) ++begin;
  while (end > begin && isSpace(cps[end - 1])) --end;
  std::string out;
  for (auto i = begin; i < end; ++i) encode(cps[i], out);
  return out;
}

std::string lowercased(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (auto c : decode(text)) encode(lower(c), out);
  return out;
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
  return lowercased(haystack).find(lowercased(needle)) != std::string::npos;
}

int localizedStandardCompare(std::string_view a, std::string_view b) {
  const auto x = decode(a);
  const auto y = decode(b);
  std::size_t i = 0, j = 0;
  while (i < x.size() && j < y.size()) {
    if (isDigit(x[i]) && isDigit(y[j])) {
      // Compare digit runs by value: skip leading zeros, then longer is larger, then digit by digit.
      auto si = i, sj = j;
      while (si < x.size() && x[si] == '0') ++si;
      while (sj < y.size() && y[sj] == '0') ++sj;
      auto ei = si, ej = sj;
      while (ei < x.size() && isDigit(x[ei])) ++ei;
      while (ej < y.size() && isDigit(y[ej])) ++ej;
      if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
      for (auto p = si, q = sj; p < ei; ++p, ++q)
        if (x[p] != y[q]) return x[p] < y[q] ? -1 : 1;
      i = ei;
      j = ej;
      continue;
    }
    const auto cx = lower(x[i]), cy = lower(y[j]);
    if (cx != cy) return cx < cy ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < x.size()) return 1;
  if (j < y.size()) return -1;
  return a == b ? 0 : (a < b ? -1 : 1);
}

}  // namespace tucklet
