#include <gtest/gtest.h>

#include <config/json_text.h>

namespace {

TEST(Json, ParseAcceptsDocumentsAndRejectsGarbage) {
  Json::Value value;
  ASSERT_TRUE(ParseJson(R"({"settings":{"ollamaModel":"deepseek-r1:7b"},"n":[1,2]})", value));
  EXPECT_EQ(value["settings"]["ollamaModel"].asString(), "deepseek-r1:7b");
  EXPECT_TRUE(ParseJson("[1]", value));
  EXPECT_TRUE(ParseJson("\"中文\"", value));
  EXPECT_EQ(value.asString(), "中文");
  EXPECT_FALSE(ParseJson("", value));
  EXPECT_FALSE(ParseJson("{", value));
  EXPECT_FALSE(ParseJson("no braces", value));
}

TEST(Json, WriteRoundTrips) {
  Json::Value value(Json::objectValue);
  value["settings"]["ollamaModel"] = "deepseek-r1:1.5b";
  value["list"].append("模型");
  std::string text;
  ASSERT_TRUE(WriteJson(value, text));
  Json::Value back;
  ASSERT_TRUE(ParseJson(text, back));
  EXPECT_EQ(back, value);
}

}  // namespace
