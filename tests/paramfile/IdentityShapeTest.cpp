// The device's identity as the documents keep it: documents of every shape
// the tool has written (the parameter file's flat texts, the companion's
// texts keyed by key, objects keyed by name, and the one shape written now)
// read to the same identity, and what is no identity is refused. That every
// document the tool writes carries the same shape runs through korvelt
// (tests/cli).
#include <gtest/gtest.h>

#include <algorithm>

#include "device/IdentityJson.h"
#include "paramfile/Document.h"

namespace {

namespace pf = paramfile;
using device::IdentityDocument;
using device::IdentityRecord;

TEST(IdentityInTheDocuments, EveryShapeReadsToTheSameIdentity) {
  const std::string gbk = "\xD0\xCD\xBA\xC5-48";
  const std::vector<IdentityObject> listed = {{0, "公司名称", "KORVELT"}, {1, "产品代码", "KVB-4815"}};
  const std::vector<IdentityObject> keyed = {{-1, "公司名称", "KORVELT"}, {-1, "产品代码", "KVB-4815"}};
  const char* objects = R"("objects": [{"id": 0, "name": "公司名称", "value": "KORVELT"},
                                       {"id": 1, "name": "产品代码", "value": "KVB-4815"}])";
  const struct {
    const char* name;
    std::string document;
    std::string model;
    size_t texts;  // how many of the seven the document kept
    bool objectsRead;
    std::vector<IdentityObject> objects;
    std::string absent;
  } cases[] = {
      {"file, objects keyed by name", R"({"identity": "0x0A31", "model": "M", "version": "1.05",
          "objects": {"公司名称": "KORVELT", "产品代码": "KVB-4815"}})", "M", 3, true, keyed, ""},
      {"file, a GBK model", std::string(R"({"identity": "0x0A31", "model": "??-48", "modelHex": "d0cdbac52d3438",
          "version": "1.05", )") + objects + "}", gbk, 3, true, listed, ""},
      {"file, no identification", R"({"identity": "0x0A31", "model": "M", "version": "1.05", "objects": null,
          "objectsAbsent": "读取标识对象: 通讯超时"})", "M", 3, true, {}, "读取标识对象: 通讯超时"},
      {"file, objects null without a reason", R"({"identity": "0x0A31", "model": "M", "version": "1.05",
          "objects": null})", "M", 3, true, {}, "无标识对象"},
      {"file, nothing of the objects", R"({"identity": "0x0A31", "model": "M", "version": "1.05"})", "M", 3, false,
       {}, ""},
      {"companion, texts keyed by key", std::string(R"({"fields": {"identity": "0x0A31", "version": "1.05",
          "model": "??-48", "modelHex": "d0cdbac52d3438", "pwmResolution": "1/1000", "pwmFrequency": "16.0kHz",
          "maxCurrent": "15.0A", "currentResolution": "10mA"}, )") + objects + "}", gbk, 7, true, listed, ""},
      {"the shape written now", R"({"fields": [{"key": "identity", "name": "设备标识", "text": "0x0A31", "unit": ""},
          {"key": "version", "text": "1.05"}, {"key": "model", "text": "??-48", "textHex": "d0cdbac52d3438"},
          {"key": "a later field", "text": "passed over"}], "objects": null, "objectsAbsent": "读取标识对象: 非法功能号"})",
       gbk, 3, true, {}, "读取标识对象: 非法功能号"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    IdentityRecord taken;
    ASSERT_EQ(device::TakeIdentity(IdentityDocument::parse(c.document), taken), "");
    EXPECT_EQ(taken.Identity(), "0x0A31");
    EXPECT_EQ(taken.Version(), "1.05");
    EXPECT_EQ(taken.Model(), c.model);
    EXPECT_EQ(static_cast<size_t>(std::count_if(taken.texts.begin(), taken.texts.end(),
                                                [](const auto& text) { return text.has_value(); })), c.texts);
    EXPECT_EQ(taken.objectsRead, c.objectsRead);
    EXPECT_EQ(taken.objects, c.objects);
    EXPECT_EQ(taken.objectsAbsent, c.absent);
    IdentityRecord again;
    ASSERT_EQ(device::TakeIdentity(device::IdentityJson(taken), again), "");
    EXPECT_EQ(again, taken) << "written and read back whole";
  }
}

TEST(IdentityInTheDocuments, WhatIsNoIdentityIsRefused) {
  for (const char* device : {
           R"("0x0A31")", R"({"identity": "0x0A31", "version": "1.05"})", R"({"fields": "0x0A31"})",
           R"({"fields": [{"key": "identity", "text": "0x0A31"}, {"key": "version", "text": "1.05"}]})",
           R"({"fields": [{"key": "identity", "text": "0x0A31"}, {"key": "identity", "text": "0x0B00"},
                          {"key": "version", "text": "1.05"}, {"key": "model", "text": "M"}]})",
           R"({"fields": [{"text": "0x0A31"}]})", R"({"fields": [{"key": "model", "text": "M", "textHex": "zz"}]})",
       }) {
    IdentityRecord taken;
    EXPECT_NE(device::TakeIdentity(IdentityDocument::parse(device), taken), "") << device;
  }
}

TEST(IdentityInTheFile, TheOlderShapeStillLoads) {
  const pf::Loaded loaded = pf::ParseParamFile(R"({"format": "korvelt-parameters", "version": 1,
    "device": {"identity": "0x0A31", "model": "KVB-4815-RS485-S", "version": "1.05",
               "objects": {"公司名称": "KORVELT", "产品代码": "KVB-4815"}},
    "blocks": {}})");
  ASSERT_TRUE(loaded.file && loaded.file->device) << loaded.refusal;
  const std::vector<IdentityObject> expected = {{-1, "公司名称", "KORVELT"}, {-1, "产品代码", "KVB-4815"}};
  EXPECT_EQ(loaded.file->device->objects, expected);
  EXPECT_EQ(loaded.file->device->objectsAbsent, "");

  for (const char* objects : {R"([{"name": "公司名称"}])", R"([{"id": 300, "name": "a", "value": "b"}])",
                              R"([{"name": "a", "value": "b", "valueHex": "zz"}])", R"("KORVELT")"}) {
    const std::string text = std::string(R"({"format": "korvelt-parameters", "version": 1, "device": {"identity": "",
      "model": "", "version": "", "objects": )") + objects + R"(}, "blocks": {}})";
    EXPECT_FALSE(pf::ParseParamFile(text).file) << objects;
  }
}

}  // namespace
