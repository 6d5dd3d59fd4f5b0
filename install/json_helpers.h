#pragma once
// The engine's JSON helpers live with the settings store, the lowest layer
// that reads JSON.
#include <config/json_text.h>
