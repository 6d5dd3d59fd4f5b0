#include <ui/controls/gif_delays.h>

namespace {

class Cursor {
 public:
  explicit Cursor(const QByteArray& data) : m_data(data) {}
  bool Has(qsizetype n) const { return m_at + n <= m_data.size(); }
  int Byte() { return Has(1) ? static_cast<unsigned char>(m_data[m_at++]) : -1; }
  bool Skip(qsizetype n) {
    if (!Has(n)) return false;
    m_at += n;
    return true;
  }
  // A chain of sub-blocks ending with an empty one.
  bool SkipSubBlocks() {
    for (;;) {
      const int size = Byte();
      if (size < 0) return false;
      if (size == 0) return true;
      if (!Skip(size)) return false;
    }
  }

 private:
  const QByteArray& m_data;
  qsizetype m_at = 0;
};

int ColourTableBytes(int flags) { return (flags & 0x80) != 0 ? 3 * (2 << (flags & 7)) : 0; }

}  // namespace

std::vector<int> ReadGifFrameDelays(const QByteArray& data) {
  std::vector<int> delays;
  if (!data.startsWith("GIF87a") && !data.startsWith("GIF89a")) return delays;
  Cursor in(data);
  if (!in.Skip(10)) return delays;  // signature, screen width and height
  const int screenFlags = in.Byte();
  if (screenFlags < 0 || !in.Skip(2 + ColourTableBytes(screenFlags))) return delays;
  int pending = 0;  // from the control block before the next image
  for (;;) {
    const int introducer = in.Byte();
    if (introducer == 0x21) {
      const int label = in.Byte();
      if (label == 0xf9) {
        const int size = in.Byte();
        if (size < 4) return delays;
        in.Byte();  // disposal and transparency flags
        const int low = in.Byte();
        const int high = in.Byte();
        if (high < 0 || !in.Skip(size - 3)) return delays;
        pending = low | (high << 8);
      }
      if (label < 0 || !in.SkipSubBlocks()) return delays;
    } else if (introducer == 0x2c) {
      if (!in.Skip(8)) return delays;  // position and size
      const int imageFlags = in.Byte();
      if (imageFlags < 0 || !in.Skip(ColourTableBytes(imageFlags) + 1) || !in.SkipSubBlocks()) {
        return delays;
      }
      delays.push_back(pending);
      pending = 0;
    } else {
      return delays;  // the trailer, or something that is not GIF
    }
  }
}
