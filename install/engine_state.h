#pragma once
// What the installation engine shows, as one value it publishes on every
// change. The window's presenter alone knows which widget shows what; tests
// read the same value.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include <catalogue/model_catalogue.h>
#include <install/pull_progress.h>

// Where the installation stands: the install form with one of its four
// stage images, or the ready page.
enum class InstallStage {
  Idle,     // the install image: nothing runs
  Package,  // the package downloads or unpacks
  Runner,   // the runner is set up
  Model,    // the model is pulled
  Ready,    // the ready page
};

// The progress overlay the engine opens over the window.
enum class ProgressOverlay {
  Hidden,
  WaitingForService,  // a click waits for the remote configuration
  Package,            // the package's progress
};

// A model pull as shown: its progress, its line (a row has room for a few
// words only) and the whole text. `updates` counts the publications, so a
// reader sees each one even when two read alike.
struct PullShown {
  PullProgress progress;
  std::wstring line;
  std::wstring full;
  std::uint64_t updates = 0;
};

struct PackageOverlayState {
  ProgressOverlay shown = ProgressOverlay::Hidden;
  std::wstring title;        // what is going on
  int percent = 0;           // the bar
  std::wstring percentText;  // "(42 %)"; empty while waiting
  std::wstring detail;       // bytes, speed and time left; empty for a package on disk
};

// A model's first answer, asked once its pull has ended.
enum class AnswerPhase { NotAsked, Loading, Answered, Failed };

struct AnswerShown {
  AnswerPhase phase = AnswerPhase::NotAsked;
  // Loading with the time waited, the time to the first token, or the
  // failure in a few words.
  std::wstring line;
  std::wstring full;  // the failure as a sentence, with the way out
};

// One row of the model list.
struct ModelRowState {
  bool installed = false;  // the runner has it: its download button is off
  bool pulling = false;    // its progress shows instead of its button
  PullShown pull;          // the latest progress of its pull
  std::wstring cause;      // why its last pull failed; empty: its date shows
  AnswerShown answer;      // its model's first answer after its pull
  std::wstring fit;        // where it can run; empty: not known
  bool fitWarning = false;
};

// The install form's figures for the selected model and folder.
struct InstallFormState {
  std::wstring hardware;    // what the model asks of the machine
  std::wstring memoryNeed;  // the memory it asks for
  std::wstring modelSize;   // its download size
  std::wstring memoryLine;  // this machine's memory beside the need
  bool memoryWarning = false;
  bool cardKnown = false;  // the graphics cards have been looked for
  std::wstring cardLine;
  bool cardWarning = false;
  std::wstring freeSpace;  // where the folder would go; empty: not known
};

struct EngineState {
  InstallStage stage = InstallStage::Idle;
  // The line under the install image: why the last attempt failed.
  std::wstring cause;
  // The installation's own pull (its line stands under the model image).
  PullShown installPull;
  PackageOverlayState overlay;
  // The package chosen on disk, and its line (the name shortened to fit);
  // empty: downloaded.
  std::wstring localPackage;
  std::wstring localPackageLine;
  // The ready page's model line ("已下载 deepseek-r1:7b").
  std::wstring readyModel;
  // The ready model's first answer (while loading, the line under the
  // model image).
  AnswerShown answer;
  // Try-now is starting the runner and the client.
  bool tryNowBusy = false;
  std::array<ModelRowState, kModelCount> rows;
  // Row 1 to 7 of the model list.
  ModelRowState& row(int number) { return rows[static_cast<std::size_t>(number - 1)]; }
  const ModelRowState& row(int number) const {
    return rows[static_cast<std::size_t>(number - 1)];
  }
  InstallFormState form;
  // The manage page's repair, removal or uninstall runs.
  bool manageWorkRunning = false;
};
