#include <platform/key_store.h>

namespace platform {

bool IsPredefinedRoot(KeyHandle key) {
  switch (key) {
    case kClassesRoot:
    case kCurrentUser:
    case kLocalMachine:
    case kUsers:
    case kPerformanceData:
    case kCurrentConfig:
    case kDynData:
    case kCurrentUserLocalSettings:
    case kPerformanceText:
    case kPerformanceNlsText:
      return true;
    default:
      return false;
  }
}

}  // namespace platform
