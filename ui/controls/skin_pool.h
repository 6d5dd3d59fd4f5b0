#pragma once
// The named skins layouts refer to ("skin" and "RadioSkin" attributes). The
// program's skins are declared in a small XML resource, one element per skin
// whose name is the skin class and whose attributes configure it.
#include <QString>

#include <map>
#include <memory>

class SSkinAni;

class CSkinPool {
 public:
  static CSkinPool& Instance();

  // Null when no skin has that name.
  SSkinAni* Find(const QString& name) const;
  void Add(const QString& name, std::unique_ptr<SSkinAni> skin);
  void Remove(const QString& name);

  // Reads a <skins> document: <gif name="..." src="..." .../>. Returns the
  // number of skins added; elements of unknown classes or with a failing
  // attribute are skipped.
  int LoadDefinitions(const QString& resource);

  // A new skin of the given class name, or null.
  static std::unique_ptr<SSkinAni> CreateSkin(const QString& className);

 private:
  std::map<QString, std::unique_ptr<SSkinAni>> m_skins;
};
