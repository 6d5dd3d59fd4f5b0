// Compiles: the vendor service's layer and the layers below it.
#include <config/app_constants.h>
#include <net/http_client.h>
#include <service/service_state.h>
