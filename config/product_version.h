#pragma once
// The program's version, as the build's project() states it: what --version
// prints, what the package is versioned as and the client version the
// service is told when the key store records none.
extern const char kProductVersion[];
