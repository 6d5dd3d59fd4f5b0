#pragma once
// The settings store: the signed-in user's token and profile fields, kept
// scrambled in the file "config" of the data folder.
#include <set>
#include <string>

#include <config/config_base.h>
#include <config/singleton.h>

class CConfigModule : public CConfigBase, public CSingleton<CConfigModule> {
 public:
  CConfigModule();

  bool ToJson(Json::Value& out) override;
  bool FromJson(const Json::Value& in) override;
  void OnLoaded() override {}

  std::string token;
  std::string username;
  std::string useravter;
  std::set<std::string> foundKeys;  // the member names the last load found
};
