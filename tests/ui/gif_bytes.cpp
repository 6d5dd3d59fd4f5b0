#include "gif_bytes.h"

#include <cstdint>

namespace {

void Put16(QByteArray& out, int value) {
  out.append(static_cast<char>(value & 0xff));
  out.append(static_cast<char>((value >> 8) & 0xff));
}

// Pixel data in LZW with the smallest code size: a clear code before every
// second pixel keeps the code width at 3 bits, so no table logic is needed.
QByteArray PixelData(int pixelCount, int colourIndex) {
  constexpr int kClear = 4;
  constexpr int kEnd = 5;
  std::vector<int> codes;
  for (int i = 0; i < pixelCount; ++i) {
    if (i % 2 == 0) codes.push_back(kClear);
    codes.push_back(colourIndex);
  }
  codes.push_back(kEnd);
  QByteArray packed;
  std::uint32_t bits = 0;
  int bitCount = 0;
  for (int code : codes) {
    bits |= static_cast<std::uint32_t>(code) << bitCount;
    bitCount += 3;
    while (bitCount >= 8) {
      packed.append(static_cast<char>(bits & 0xff));
      bits >>= 8;
      bitCount -= 8;
    }
  }
  if (bitCount > 0) packed.append(static_cast<char>(bits & 0xff));
  QByteArray out;
  out.append(static_cast<char>(2));  // minimum code size
  for (qsizetype at = 0; at < packed.size(); at += 255) {
    const QByteArray block = packed.mid(at, 255);
    out.append(static_cast<char>(block.size()));
    out.append(block);
  }
  out.append(static_cast<char>(0));
  return out;
}

}  // namespace

QByteArray MakeGif(int width, int height, const std::vector<GifFrame>& frames) {
  QByteArray out("GIF89a");
  Put16(out, width);
  Put16(out, height);
  out.append(static_cast<char>(0xf1));  // global table of 4 colours
  out.append(static_cast<char>(0));
  out.append(static_cast<char>(0));
  // Colour table: up to four frame colours.
  for (int i = 0; i < 4; ++i) {
    const QColor c = i < static_cast<int>(frames.size())
                         ? frames[static_cast<std::size_t>(i)].colour
                         : QColor(Qt::black);
    out.append(static_cast<char>(c.red()));
    out.append(static_cast<char>(c.green()));
    out.append(static_cast<char>(c.blue()));
  }
  // Loop forever (NETSCAPE2.0), as animated GIFs usually say.
  out.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
  for (std::size_t f = 0; f < frames.size(); ++f) {
    out.append("\x21\xf9\x04", 3);
    out.append(static_cast<char>(0x04));  // dispose: leave in place
    Put16(out, frames[f].delay);
    out.append(static_cast<char>(0));
    out.append(static_cast<char>(0));
    out.append(static_cast<char>(0x2c));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, width);
    Put16(out, height);
    out.append(static_cast<char>(0));
    out.append(PixelData(width * height, static_cast<int>(f % 4)));
  }
  out.append(static_cast<char>(0x3b));
  return out;
}
