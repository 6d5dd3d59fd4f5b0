#pragma once
// Attribute values of the custom controls: layouts give them as dynamic
// properties, and their names are compared without regard to case.
#include <QString>

#include <optional>

class QObject;
class QEvent;

namespace attr {

// The name of a dynamic property that just changed, or an empty string when
// event is no such change.
QString ChangedPropertyName(const QEvent* event);
// "0" or "false" (any case) is false, anything else true.
bool ParseBool(const QString& value);
// A layout size: a number with an optional "px", "dp" or "sp" unit, in
// device-independent pixels.
std::optional<int> ParseLayoutSize(const QString& value);
// A decimal or 0x-prefixed hexadecimal integer.
std::optional<int> ParseInt(const QString& value);
// Whether name equals expected without regard to case.
bool Is(const QString& name, const char* expected);

}  // namespace attr
