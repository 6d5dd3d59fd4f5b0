#pragma once
// Each thing the installation puts on the machine, as one step that can do
// it, check that it is there and take it back: the kept package, the
// runner's files, its model store, the environment entry, the runner's
// server, the chat client's files, its settings change, the login
// registration and our own settings. The installation performs the settings,
// store, environment, runner, client, client-settings and login steps one by
// one (PerformInstallStep); the package and the server it reaches through the
// calls their steps make too (FetchAndUnpackPackage, the pull's
// EnsureRunnerServer). Repair checks each and performs what fails, uninstall
// undoes them in reverse. Every undo is safe to run again on what an
// earlier, broken-off one left, and removes only what is ours: folders are
// walked without following links, and a folder holding anything else keeps
// it.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <install/installation.h>

struct StepContext {
  Installation installation;  // the layout, and the package for a repair
  const std::atomic<bool>* cancel = nullptr;
  // Uninstall only: the model store stays; the chat client's own settings
  // folder goes too (its chats with it).
  bool keepModels = false;
  bool removeChatSettings = false;
  // Called before each step runs; tests throw from it to break a run off
  // there as a power cut would.
  std::function<void(const char* step)> beforeStep;
  // Asked when the chat client's settings must change while our client
  // runs: true to restart it now. Without it a running client is left be.
  std::function<bool()> restartClient;
  // The model the installation pulled (UTF-8): the chat client's settings
  // step chooses it. Empty: the first model the runner lists.
  std::string model;
};

struct StepOutcome {
  bool ok = true;
  std::wstring text;  // what was found or done, for the user (Chinese)
  // What an undo left because it is not ours (or could not be removed).
  std::vector<std::wstring> leftBehind;
  // The file the step would change could not be used and was left as it
  // was: the caller tells the user how to choose by hand.
  bool unusable = false;
};

class InstallStep {
 public:
  virtual ~InstallStep() = default;
  // "package", "runner", "store", "environment", "server", "client",
  // "client-settings", "login", "settings": for logs, tests and scripts.
  virtual const char* Name() const = 0;
  // What it is, for the user.
  virtual std::wstring Title() const = 0;
  // Whether what it puts there lies below the install folder: uninstall then
  // undoes it for every folder ever installed into.
  virtual bool BelowInstallFolder() const { return false; }
  // Whether what the step puts there is there and ours; text says what is
  // wrong.
  virtual StepOutcome Check(const StepContext& context) const = 0;
  virtual StepOutcome Perform(const StepContext& context) = 0;
  virtual StepOutcome Undo(const StepContext& context) = 0;
};

// The steps in the installation's order.
std::vector<std::unique_ptr<InstallStep>> MakeInstallSteps();

// The named step alone; nullptr for a name no step has.
std::unique_ptr<InstallStep> MakeInstallStep(std::string_view name);

// Performs the named step alone (the installation's own stages).
StepOutcome PerformInstallStep(std::string_view name, const StepContext& context);

// A report's line, "<what>：<how it went>", in the window's language: a
// step's title, or a model's tag.
std::wstring ReportLine(const std::wstring& what, const std::wstring& text);
