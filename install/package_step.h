#pragma once
// The first half of an installation, on a worker: the install package is
// fetched (or the one kept from an earlier run reused), unpacked below the
// install folder as a whole and checked for both setups. A kept archive is
// used again only while it matches the announced digest and unpacks whole;
// a fault of the archive discards it, a fault of the folder keeps it.
#include <atomic>
#include <string>

#include <install/installation.h>
#include <install/package_outcome.h>

// cancel: the installation's own stop flag, looked at between and inside
// the steps; may be null.
PackageOutcome FetchAndUnpackPackage(const Installation& installation,
                                     const std::atomic<bool>* cancel);

// Ends the first half: posts the window the ready event or the failure
// event, each carrying the installation's number (and the cause in words).
// A missing package address is named by how the configuration request
// ended.
void PostPackageOutcome(int installation, PackageOutcome outcome, ConfigFetch config, long status);

// The whole first half on a worker: fetch, unpack, post.
void PreparePackage(int number, const Installation& installation, const std::atomic<bool>* cancel,
                    ConfigFetch config, long status);
