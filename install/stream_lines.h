#pragma once
// A streamed answer of one JSON object a line, cut into its lines as the
// bytes arrive. A line longer than any the runner writes is skipped whole,
// so a wrong server cannot make us hold its answer in memory.
#include <cstddef>
#include <string>
#include <string_view>

class StreamLines {
 public:
  static constexpr std::size_t kMaxLineBytes = 64 * 1024;

  // Calls take(line) for each line the bytes complete; true when any call
  // returned true.
  template <typename Take>
  bool Feed(std::string_view bytes, Take&& take) {
    bool any = false;
    while (!bytes.empty()) {
      const std::size_t end = bytes.find('\n');
      const std::string_view piece = bytes.substr(0, end);
      if (!m_overlong) {
        if (m_pending.size() + piece.size() > kMaxLineBytes) {
          m_overlong = true;
          m_pending.clear();
        } else {
          m_pending.append(piece);
        }
      }
      if (end == std::string_view::npos) break;
      if (!m_overlong) any = take(std::string_view(m_pending)) || any;
      m_pending.clear();
      m_overlong = false;
      bytes.remove_prefix(end + 1);
    }
    return any;
  }
  // The body's end: a last line without a line end still counts.
  template <typename Take>
  bool Finish(Take&& take) {
    const bool any = !m_overlong && take(std::string_view(m_pending));
    m_pending.clear();
    m_overlong = false;
    return any;
  }

 private:
  std::string m_pending;
  bool m_overlong = false;  // the current line outgrew the limit: skipped
};
