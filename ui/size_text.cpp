#include <ui/size_text.h>

QString SizeText(std::uint64_t bytes) {
  const double value = static_cast<double>(bytes);
  constexpr double kKiB = 1024.0;
  if (value >= kKiB * kKiB * kKiB)
    return QStringLiteral("%1 GB").arg(value / (kKiB * kKiB * kKiB), 0, 'f', 2);
  if (value >= kKiB * kKiB) return QStringLiteral("%1 MB").arg(value / (kKiB * kKiB), 0, 'f', 2);
  if (bytes >= 1024) return QStringLiteral("%1 KB").arg(value / kKiB, 0, 'f', 2);
  return QStringLiteral("%1 B").arg(static_cast<qulonglong>(bytes));
}
