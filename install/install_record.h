#pragma once
// What the installation made, written as it makes it: each folder and file
// (with the volume and number that tell it from one put there later by
// someone else), each folder it adopted instead of making, each value it
// set, each setup it ran and every install folder ever installed into. Kept
// privately beside our settings. A replace or removal touches only what
// this says we made and what still is that same object.
#include <functional>
#include <string>
#include <vector>

#include <platform/folder_ownership.h>

struct RecordedObject {
  std::wstring path;
  platform::ObjectIdentity identity;
  // There before us (a model store the user had): it is used, never
  // removed, and nothing that was in it is ours.
  bool adopted = false;
  std::string step;  // the step that made or adopted it
};

// A value set outside our folders: "environment" (a per-user variable),
// "key" (a value in our key store), "login" (a program started at login),
// "setup" (a setup run into a folder: what it leaves beside it is ours),
// "client-host" / "client-model" (what the chat client's settings held
// before we first changed them; "" when they held nothing).
struct RecordedValue {
  std::string kind;
  std::string name;
  std::wstring value;
};

struct InstallRecord {
  std::vector<std::wstring> installFolders;
  std::vector<RecordedObject> objects;
  std::vector<RecordedValue> values;

  const RecordedObject* Find(const std::wstring& path) const;
  // Made by us and still the same object.
  bool IsOurs(const std::wstring& path) const;
  // Ours, or adopted and still the same object.
  bool MayUse(const std::wstring& path) const;
  const RecordedValue* FindValue(const std::string& kind, const std::string& name) const;
  // Sets (or replaces) a value.
  void SetValue(const std::string& kind, const std::string& name, const std::wstring& value);
  void DropValue(const std::string& kind, const std::string& name);
  // Adds the object as it stands now; an entry for the path is replaced.
  void Add(const std::wstring& path, const platform::ObjectIdentity& identity, bool adopted,
           const std::string& step);
  void Forget(const std::wstring& path);
  void AddInstallFolder(const std::wstring& folder);
};

// The record as saved; empty when there is none (or it cannot be read:
// then nothing counts as ours, which is the safe side).
InstallRecord LoadInstallRecord();
// Reads, changes and saves the record under one process-wide lock; false
// when it could not be saved.
bool UpdateInstallRecord(const std::function<void(InstallRecord&)>& change);
// Where it is kept: our settings folder.
std::wstring InstallRecordFile();

// The record for a terminal: one line per entry.
std::string InstallRecordText(const InstallRecord& record);
