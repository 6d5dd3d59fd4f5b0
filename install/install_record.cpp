#include <install/install_record.h>

#include <json/value.h>

#include <algorithm>
#include <filesystem>

#include <base/text_helpers.h>
#include <config/json_text.h>
#include <install/install_layout.h>
#include <platform/atomic_file.h>
#include <platform/os_encoding.h>
#include <platform/thread_annotations.h>
#include <platform/whole_file.h>

namespace {

// Workers and the window thread change the record: one at a time. It
// guards a file, which the analysis cannot see.
CMutex g_recordMutex;

constexpr int kRecordVersion = 1;

const char* KindName(platform::ObjectKind kind) {
  switch (kind) {
    case platform::ObjectKind::Folder:
      return "folder";
    case platform::ObjectKind::File:
      return "file";
    case platform::ObjectKind::Link:
      return "link";
    case platform::ObjectKind::Other:
      return "other";
    case platform::ObjectKind::Missing:
      break;
  }
  return "missing";
}

platform::ObjectKind KindOf(const std::string& name) {
  for (const auto kind : {platform::ObjectKind::Folder, platform::ObjectKind::File,
                          platform::ObjectKind::Link, platform::ObjectKind::Other}) {
    if (name == KindName(kind)) return kind;
  }
  return platform::ObjectKind::Missing;
}

bool SameNow(const RecordedObject& object) {
  const auto now = platform::IdentityAt(object.path);
  return now && now->kind != platform::ObjectKind::Missing && *now == object.identity;
}

Json::Value ToJson(const InstallRecord& record) {
  Json::Value root(Json::objectValue);
  root["version"] = kRecordVersion;
  Json::Value& folders = root["installFolders"] = Json::Value(Json::arrayValue);
  for (const std::wstring& folder : record.installFolders) folders.append(WideToUtf8(folder));
  Json::Value& objects = root["objects"] = Json::Value(Json::arrayValue);
  for (const RecordedObject& object : record.objects) {
    Json::Value entry(Json::objectValue);
    entry["path"] = WideToUtf8(object.path);
    entry["kind"] = KindName(object.identity.kind);
    entry["device"] = Json::UInt64(object.identity.device);
    entry["index"] = Json::UInt64(object.identity.index);
    entry["adopted"] = object.adopted;
    entry["step"] = object.step;
    objects.append(entry);
  }
  Json::Value& values = root["values"] = Json::Value(Json::arrayValue);
  for (const RecordedValue& value : record.values) {
    Json::Value entry(Json::objectValue);
    entry["kind"] = value.kind;
    entry["name"] = value.name;
    entry["value"] = WideToUtf8(value.value);
    values.append(entry);
  }
  return root;
}

std::string Text(const Json::Value& value, const char* name) {
  const Json::Value& member = value[name];
  return member.isString() ? member.asString() : std::string();
}

InstallRecord FromJson(const Json::Value& root) {
  InstallRecord record;
  if (!root.isObject() || !root["version"].isInt() || root["version"].asInt() != kRecordVersion) {
    return record;
  }
  for (const Json::Value& folder : root["installFolders"]) {
    if (folder.isString()) record.installFolders.push_back(Utf8ToWide(folder.asString()));
  }
  for (const Json::Value& entry : root["objects"]) {
    if (!entry.isObject() || !entry["device"].isUInt64() || !entry["index"].isUInt64()) continue;
    RecordedObject object;
    object.path = Utf8ToWide(Text(entry, "path"));
    object.identity.kind = KindOf(Text(entry, "kind"));
    object.identity.device = entry["device"].asUInt64();
    object.identity.index = entry["index"].asUInt64();
    object.adopted = entry["adopted"].isBool() && entry["adopted"].asBool();
    object.step = Text(entry, "step");
    // A relative path would mean wherever the program runs: never ours.
    if (object.path.empty() || !platform::OsPath(object.path).is_absolute()) continue;
    record.objects.push_back(std::move(object));
  }
  for (const Json::Value& entry : root["values"]) {
    if (!entry.isObject()) continue;
    record.values.push_back({Text(entry, "kind"), Text(entry, "name"),
                             Utf8ToWide(Text(entry, "value"))});
  }
  return record;
}

InstallRecord LoadLocked() TW_REQUIRES(g_recordMutex) {
  std::string text;
  Json::Value root;
  if (!platform::ReadWholeFileExact(platform::OsPath(InstallRecordFile()), text) ||
      !ParseJson(text, root)) {
    return {};
  }
  return FromJson(root);
}

}  // namespace

const RecordedObject* InstallRecord::Find(const std::wstring& path) const {
  for (const RecordedObject& object : objects) {
    if (object.path == path) return &object;
  }
  return nullptr;
}

bool InstallRecord::IsOurs(const std::wstring& path) const {
  const RecordedObject* object = Find(path);
  return object != nullptr && !object->adopted && SameNow(*object);
}

bool InstallRecord::MayUse(const std::wstring& path) const {
  const RecordedObject* object = Find(path);
  return object != nullptr && SameNow(*object);
}

const RecordedValue* InstallRecord::FindValue(const std::string& kind,
                                              const std::string& name) const {
  for (const RecordedValue& value : values) {
    if (value.kind == kind && value.name == name) return &value;
  }
  return nullptr;
}

void InstallRecord::SetValue(const std::string& kind, const std::string& name,
                             const std::wstring& value) {
  DropValue(kind, name);
  values.push_back({kind, name, value});
}

void InstallRecord::DropValue(const std::string& kind, const std::string& name) {
  std::erase_if(values, [&](const RecordedValue& v) { return v.kind == kind && v.name == name; });
}

void InstallRecord::Add(const std::wstring& path, const platform::ObjectIdentity& identity,
                        bool adopted, const std::string& step) {
  Forget(path);
  objects.push_back({path, identity, adopted, step});
}

void InstallRecord::Forget(const std::wstring& path) {
  std::erase_if(objects, [&](const RecordedObject& object) { return object.path == path; });
}

void InstallRecord::AddInstallFolder(const std::wstring& folder) {
  if (std::find(installFolders.begin(), installFolders.end(), folder) == installFolders.end()) {
    installFolders.push_back(folder);
  }
}

std::wstring InstallRecordFile() {
  return SettingsFolder() + platform::PathSeparator() + L"install-record.json";
}

InstallRecord LoadInstallRecord() {
  CMutexLock lock(g_recordMutex);
  return LoadLocked();
}

bool UpdateInstallRecord(const std::function<void(InstallRecord&)>& change) {
  CMutexLock lock(g_recordMutex);
  InstallRecord record = LoadLocked();
  change(record);
  std::string text;
  const std::filesystem::path file = platform::OsPath(InstallRecordFile());
  return WriteJson(ToJson(record), text) &&
         platform::CreatePrivateFolders(file.parent_path()) == 0 &&
         platform::WriteFileAtomically(file, text) == 0;
}

std::string InstallRecordText(const InstallRecord& record) {
  std::string text;
  for (const std::wstring& folder : record.installFolders) {
    text += "  install folder  " + platform::WideToOsNarrow(folder) + "\n";
  }
  // Each outermost object with how many recorded entries lie inside it: a
  // runner's folder holds hundreds.
  for (const RecordedObject& object : record.objects) {
    const std::wstring parent = platform::WidePath(platform::OsPath(object.path).parent_path());
    const RecordedObject* above = record.Find(parent);
    if (above != nullptr && above->adopted == object.adopted) continue;
    std::size_t inside = 0;
    const std::wstring prefix = object.path + platform::PathSeparator();
    for (const RecordedObject& other : record.objects) {
      if (other.path.rfind(prefix, 0) == 0) ++inside;
    }
    text += std::string("  ") + (object.adopted ? "adopted" : "made   ") + " " +
            KindName(object.identity.kind) + " " + platform::WideToOsNarrow(object.path);
    if (inside > 0) text += " (" + std::to_string(inside) + " inside)";
    text += " [" + object.step + (SameNow(object) ? "" : ", changed or gone since") + "]\n";
  }
  for (const RecordedValue& value : record.values) {
    text += "  set     " + value.kind + " " + value.name + "=" +
            platform::WideToOsNarrow(value.value) + "\n";
  }
  return text;
}
