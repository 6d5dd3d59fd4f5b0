#include <config/product_version.h>

#ifndef TIDEWELL_VERSION
#error "TIDEWELL_VERSION must be defined by the build"
#endif

const char kProductVersion[] = TIDEWELL_VERSION;
