// The device's identity in the parameter file: the driver's bytes come back
// exactly whatever they hold, every object on its own, and a file of the
// older shape (objects keyed by name) still loads.
#include <gtest/gtest.h>

#include "paramfile/Document.h"

namespace {

namespace pf = paramfile;

pf::Identity Saved(const pf::Identity& identity) {
  const std::string text = pf::DocumentText(pf::Document(pf::Header{}, &identity, pf::NoBlocks()));
  const pf::Loaded loaded = pf::ParseParamFile(text);
  EXPECT_TRUE(loaded.file && loaded.file->device) << loaded.refusal << "\n" << text;
  return loaded.file && loaded.file->device ? *loaded.file->device : pf::Identity{};
}

TEST(IdentityInTheFile, ComesBackByteForByte) {
  const struct {
    const char* name;
    pf::Identity identity;
  } cases[] = {
      {"GBK model", {"0x0A31", "\xD0\xCD\xBA\xC5-48", "1.05", {{0, "公司名称", "KORVELT"}}, ""}},
      {"escape sequences", {"0x0A31", "\x1B[2J\x1B]0;x\x07", "1.05", {{4, "产品名称", "\x1B[31mred"}}, ""}},
      {"line break in a value", {"0x0A31", "M", "1.05", {{1, "产品代码", "X\r\n产品代码:FAKE"}}, ""}},
      {"two of one name", {"0x0A31", "M", "1.05", {{0x80, "扩展描述", "one"}, {0x81, "扩展描述", "two"}}, ""}},
      {"value not UTF-8", {"0x0A31", "M", "1.05", {{5, "模式名称", "\xFF\xFE\x80"}}, ""}},
      {"no identification", {"0x0A31", "M", "1.05", {}, "读取标识对象: 通讯超时"}},
  };
  for (const auto& c : cases) {
    const pf::Identity back = Saved(c.identity);
    EXPECT_EQ(back.model, c.identity.model) << c.name;
    EXPECT_EQ(back.objects, c.identity.objects) << c.name;
    EXPECT_EQ(back.objectsAbsent, c.identity.objectsAbsent) << c.name;
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
