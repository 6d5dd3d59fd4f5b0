#include <config/config_base.h>

#include <json/json.h>

#include <sstream>

#include <config/rc4.h>
#include <platform/atomic_file.h>
#include <platform/os_encoding.h>
#include <platform/whole_file.h>

void CConfigBase::SetPath(const wchar_t* path) {
  if (path == nullptr) return;
  CAutoLock guard(*this);
  m_path = path;
}

bool CConfigBase::LoadFile(const wchar_t* fileName) {
  if (fileName == nullptr) return false;
  std::string buffer;
  if (!platform::ReadWholeFileExact(platform::OsPath(fileName), buffer)) return false;

  if (m_scrambled) Rc4Scramble(kSettingsScrambleKey, buffer);
  if (buffer.empty()) return false;

  Json::Value root;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::istringstream stream(buffer);
  try {
    if (!Json::parseFromStream(builder, stream, &root, &errors)) return false;
    return FromJson(root);
  } catch (const std::exception&) {
    return false;
  }
}

bool CConfigBase::Load() {
  if (!HasPath()) return false;
  CAutoLock guard(*this);
  return LoadFile(m_path.c_str());
}

bool CConfigBase::SaveFile(const wchar_t* fileName) {
  if (fileName == nullptr) return false;
  Json::Value root;
  if (!ToJson(root)) return false;
  std::string text = Json::writeString(Json::StreamWriterBuilder(), root);
  if (m_scrambled) Rc4Scramble(kSettingsScrambleKey, text);
  // The file holds the sign-in token: private, and replaced whole.
  return platform::WriteFileAtomically(platform::OsPath(fileName), text) == 0;
}

bool CConfigBase::Save() {
  if (!HasPath()) return false;
  CAutoLock guard(*this);
  return SaveFile(m_path.c_str());
}

void CConfigBase::SetScrambled(bool scrambled) { m_scrambled = scrambled; }

bool CConfigBase::HasPath() {
  CAutoLock guard(*this);
  return !m_path.empty();
}
