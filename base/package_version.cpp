#include <base/package_version.h>

#include <algorithm>

namespace {

// The next dotted number from pos on, without its leading zeros (numbers of
// any length compare without overflow).
std::string_view NextNumber(std::string_view text, std::size_t& pos) {
  if (pos >= text.size()) return {};
  const std::size_t end = std::min(text.find('.', pos), text.size());
  std::string_view number = text.substr(pos, end - pos);
  pos = end + 1;
  while (number.size() > 1 && number.front() == '0') number.remove_prefix(1);
  return number == "0" ? std::string_view() : number;
}

}  // namespace

bool IsPackageVersion(std::string_view text) {
  if (text.empty() || text.size() > kMaxPackageVersionChars) return false;
  if (text.front() == '.' || text.back() == '.') return false;
  char previous = '.';
  for (const char c : text) {
    if (c == '.' && previous == '.') return false;
    if (c != '.' && (c < '0' || c > '9')) return false;
    previous = c;
  }
  return true;
}

int ComparePackageVersions(std::string_view a, std::string_view b) {
  std::size_t pa = 0;
  std::size_t pb = 0;
  while (pa < a.size() || pb < b.size()) {
    const std::string_view x = NextNumber(a, pa);
    const std::string_view y = NextNumber(b, pb);
    if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
    if (const int order = x.compare(y); order != 0) return order < 0 ? -1 : 1;
  }
  return 0;
}
