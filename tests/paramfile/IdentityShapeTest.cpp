// The device's identity in the parameter file: a file of the older shape
// (objects keyed by name) still loads, and objects of another shape are
// refused. The new shape's round trip runs through korvelt (tests/cli).
#include <gtest/gtest.h>

#include "paramfile/Document.h"

namespace {

namespace pf = paramfile;

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
