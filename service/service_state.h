#pragma once
// The process-wide service state: created on first use, kept until the
// process ends. It carries the application state the service operations
// share; start-up prepares its work folder.
#include <string>

class CServiceState {
 public:
  // The per-user local application-data folder + "/Tidewell/", created with
  // its missing parents. False when it cannot be created.
  bool PrepareWorkFolder();

  std::wstring workFolder;
};

CServiceState& GetServiceState();
