#pragma once
// The first half of an installation, on a worker: the install package is
// fetched (or the one kept from an earlier run reused), unpacked below the
// install folder and checked for both setups. Ends by posting the window
// either the ready event or the failure event.
void PreparePackage();
// The same without the event: true when both setups are there.
bool FetchAndUnpackPackage();
