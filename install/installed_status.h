#pragma once
// What the installation has put on this machine, where and how much of the
// disk it takes: read only, without starting anything. Sizes are walked on
// disk, so a caller on the window thread hands this to a worker.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <install/install_layout.h>

struct InstalledPart {
  std::wstring path;
  bool present = false;     // the path exists
  std::uint64_t bytes = 0;  // allocated on disk, links not followed
};

struct InstalledModel {
  std::string name;        // "deepseek-r1:7b", as the runner lists it
  std::uint64_t size = 0;  // as the runner reports it (layers may be shared)
  std::string modifiedAt;  // RFC 3339
  bool usedByChatClient = false;
};

struct InstalledStatus {
  InstalledPart runner;  // the runner's folder
  bool runnerProgram = false;
  // From our runner server when it answers (serverAnswers), otherwise from
  // the runner program itself; nothing when neither tells.
  std::optional<std::string> runnerVersion;
  bool serverAnswers = false;
  InstalledPart modelStore;
  // Listed by our runner server; empty (modelsListed false) when it does not
  // answer.
  bool modelsListed = false;
  std::vector<InstalledModel> models;
  InstalledPart chatClient;  // the client's folder
  // The unpacked client's version, from its desktop entry.
  std::optional<std::string> chatClientVersion;
  InstalledPart package;         // the kept install package
  InstalledPart settings;        // our settings folder (the key store in it)
  InstalledPart work;            // our work folder: logs, tutorial; the package not counted again
  std::uint64_t totalBytes = 0;  // the parts above, each counted once
  // The newer package version the configuration names (the manage page
  // offers "更新"); empty when there is none.
  std::string updateVersion;
};

// How complete the installation is, for a script: everything there (the
// runner program, at least one model, the chat client), part of it, or
// nothing of ours.
enum class InstalledState { Complete = 0, Partial = 1, Nothing = 2 };
InstalledState StateOf(const InstalledStatus& status);

// The status as a person reads it in a terminal, one part a line, with its
// path and size (UTF-8).
std::string InstalledStatusReport(const InstalledStatus& status, const std::string& serverAddress);

// Where each part lives and whether it is there, at once: no sizes, no
// server asked.
InstalledStatus InstalledPartsAt(const InstallLayout& layout);

// The version a runner program says it is ("ollama --version"); nothing
// when it does not run or says none.
std::optional<std::string> RunnerProgramVersion(const InstallLayout& layout);
// The unpacked chat client's version: the X-AppImage-Version of the desktop
// entry an AppImage carries at its top.
std::optional<std::string> ChatClientVersion(const InstallLayout& layout);

// Gathers the status below the layout. Each request to the runner server at
// RunnerServerAddress() waits at most timeoutMs; no server is started.
InstalledStatus CollectInstalledStatus(const InstallLayout& layout, long timeoutMs);

// The catalogue number ("1" to "7") of a model the installation record
// vouches for, read from the model store's manifests on disk without asking
// the runner: preferred when it is there, else the largest; empty when the
// record holds no runner and store of ours or no catalogue model is there.
std::string CatalogueModelOnDisk(const InstallLayout& layout, const std::string& preferred);
