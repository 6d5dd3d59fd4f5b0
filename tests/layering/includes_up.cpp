// Must not compile: the vendor service's layer reaching up into the engine.
#include <install/install_engine.h>
