#include <platform/standard_streams.h>

namespace platform {

// The streams carry bytes unchanged here already.
void WriteStandardStreamsAsBytes() {}

}  // namespace platform
