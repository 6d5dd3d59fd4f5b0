#pragma once
// A settings file: a JSON document, optionally scrambled, read and written
// whole under the object's lock.
#include <json/value.h>

#include <string>

#include <config/lock_base.h>

class CConfigBase : public CLockBase {
 public:
  virtual ~CConfigBase() = default;

  virtual void SetPath(const wchar_t* path);
  virtual bool LoadFile(const wchar_t* fileName);
  virtual bool Load();
  virtual bool SaveFile(const wchar_t* fileName);
  virtual bool Save();
  virtual void SetScrambled(bool scrambled);
  virtual bool HasPath();
  virtual bool ToJson(Json::Value& out) = 0;
  virtual bool FromJson(const Json::Value& in) = 0;
  virtual void OnLoaded() = 0;

 protected:
  CConfigBase() = default;

  std::wstring m_path TW_GUARDED_BY(this);
  // Chosen when the object is made, before another thread can reach it.
  bool m_scrambled = false;
};
