#include "variables.h"

#include <stdlib.h>

#include <platform/utf.h>

// _wputenv_s keeps the runtime's copy and the process environment in step,
// and takes the UTF-8 text whole (the narrow form would go through the ANSI
// code page); an empty value removes the variable.
void SetVariable(const char* name, const char* value) {
  _wputenv_s(platform::Utf8ToWide(name).c_str(), platform::Utf8ToWide(value).c_str());
}
void UnsetVariable(const char* name) { _wputenv_s(platform::Utf8ToWide(name).c_str(), L""); }
