#include "variables.h"

#include <stdlib.h>

// _putenv_s keeps the runtime's copy and the process environment in step;
// an empty value removes the variable.
void SetVariable(const char* name, const char* value) { _putenv_s(name, value); }
void UnsetVariable(const char* name) { _putenv_s(name, ""); }
