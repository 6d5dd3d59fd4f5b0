#include <ui/controls/control_attributes.h>

#include <QDynamicPropertyChangeEvent>
#include <QEvent>

namespace attr {

QString ChangedPropertyName(const QEvent* event) {
  if (event == nullptr || event->type() != QEvent::DynamicPropertyChange) return {};
  return QString::fromUtf8(static_cast<const QDynamicPropertyChangeEvent*>(event)->propertyName());
}

bool ParseBool(const QString& value) {
  const QString v = value.trimmed();
  return !(v == QLatin1String("0") || v.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0);
}

std::optional<int> ParseLayoutSize(const QString& value) {
  QString v = value.trimmed().toLower();
  for (const char* unit : {"px", "dp", "sp"}) {
    if (v.endsWith(QLatin1String(unit))) {
      v.chop(2);
      break;
    }
  }
  bool ok = false;
  const double number = v.trimmed().toDouble(&ok);
  if (!ok) return std::nullopt;
  return static_cast<int>(number);
}

std::optional<int> ParseInt(const QString& value) {
  const QString v = value.trimmed();
  const bool hex = v.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
  bool ok = false;
  const int number = (hex ? v.mid(2) : v).toInt(&ok, hex ? 16 : 10);
  if (!ok) return std::nullopt;
  return number;
}

bool Is(const QString& name, const char* expected) {
  return name.compare(QLatin1String(expected), Qt::CaseInsensitive) == 0;
}

}  // namespace attr
