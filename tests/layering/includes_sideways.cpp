// Must not compile: the package layer reaching sideways into the vendor
// service (both sit on the transport layer).
#include <service/service_state.h>
