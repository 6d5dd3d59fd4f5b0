#pragma once
// Sets and removes variables of this process's environment, so that the C
// runtime's getenv and the system's own calls see the same value.
void SetVariable(const char* name, const char* value);
void UnsetVariable(const char* name);
