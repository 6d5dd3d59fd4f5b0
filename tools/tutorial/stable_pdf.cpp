#include "stable_pdf.h"

namespace {

// The day the guide's text was last revised.
constexpr char kPinnedDate[] = "D:20250214000000";

}  // namespace

bool MakePdfStable(QByteArray& pdf) {
  static const QByteArray kKey = QByteArrayLiteral("/CreationDate (");
  const qsizetype key = pdf.indexOf(kKey);
  if (key < 0) return false;
  const qsizetype start = key + kKey.size();
  const qsizetype end = pdf.indexOf(')', start);
  if (end < 0) return false;
  // Qt writes local time as D:YYYYMMDDHHmmSS followed by "Z" or "+HH'mm'".
  const qsizetype length = end - start;
  QByteArray pinned(kPinnedDate);
  if (length == pinned.size() + 1) {
    pinned += 'Z';
  } else if (length == pinned.size() + 7) {
    pinned += "+00'00'";
  } else {
    return false;
  }
  pdf.replace(start, length, pinned);
  return true;
}
