#include <config/config_module.h>

CConfigModule::CConfigModule() { m_scrambled = true; }

bool CConfigModule::ToJson(Json::Value& out) {
  out = Json::Value(Json::objectValue);
  Json::Value& user = out["user"] = Json::Value(Json::objectValue);
  user["token"] = token;
  user["username"] = username;
  user["useravter"] = useravter;
  return true;
}

bool CConfigModule::FromJson(const Json::Value& in) {
  // Only an object can hold the members; the JSON library throws on member
  // access to arrays and scalars.
  if (!in.isObject()) return false;
  const Json::Value& user = in["user"];
  if (!user.isObject()) return true;
  struct Field {
    const char* key;
    std::string* target;
  };
  for (const Field& field :
       {Field{"token", &token}, Field{"username", &username}, Field{"useravter", &useravter}}) {
    const Json::Value& value = user[field.key];
    if (!value.isString()) continue;
    *field.target = value.asString();
    foundKeys.insert(field.key);
  }
  return true;
}
