#pragma once
// What a program writes to its standard output and error goes out byte for
// byte: Windows' C runtime would otherwise turn each "\n" into "\r\n", which
// programs written in other languages (Go's, say) never do.
namespace platform {

// Call first thing, before anything is written.
void WriteStandardStreamsAsBytes();

}  // namespace platform
