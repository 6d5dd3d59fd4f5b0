#include "variables.h"

#include <stdlib.h>

void SetVariable(const char* name, const char* value) { ::setenv(name, value, 1); }
void UnsetVariable(const char* name) { ::unsetenv(name); }
