#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "lang/Catalogue.h"
#include "lang/Language.h"
#include "lang/Texts.h"

namespace {

using lang::Language;

TEST(LanguageTest, TheLocaleChoosesChineseOrEnglish) {
  struct Case {
    lang::LocaleNames names;
    Language expected;
  };
  const Case cases[] = {
      {{"", "", "", ""}, Language::Chinese},                          // nothing set: C
      {{"", "", "", "C.UTF-8"}, Language::Chinese},
      {{"", "POSIX", "", "en_US.UTF-8"}, Language::Chinese},          // LC_ALL first
      {{"en", "", "", "C"}, Language::Chinese},                       // LANGUAGE ignored under C
      {{"", "", "", "zh_CN.UTF-8"}, Language::Chinese},
      {{"", "", "zh_TW.UTF-8", "de_DE.UTF-8"}, Language::Chinese},    // LC_MESSAGES before LANG
      {{"", "", "", "en_US.UTF-8"}, Language::English},
      {{"", "", "", "de_DE@euro"}, Language::English},
      {{"zh_CN:en", "", "", "en_GB.UTF-8"}, Language::Chinese},       // LANGUAGE's first entry
      {{"fr:zh", "", "", "zh_CN.UTF-8"}, Language::English},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lang::FromLocale(c.names), c.expected)
        << c.names.language << "|" << c.names.all << "|" << c.names.messages << "|" << c.names.lang;
  }
  EXPECT_EQ(lang::FromCode("en"), Language::English);
  EXPECT_EQ(lang::FromCode("zh"), Language::Chinese);
  EXPECT_FALSE(lang::FromCode("EN").has_value());
}

TEST(FillTest, PlacesValuesInTheLanguagesOrder) {
  EXPECT_EQ(lang::Fill("{1}: 请输入 {2} 到 {3} 之间的数值", {"额定电流", "0.00", "655.35"}),
            "额定电流: 请输入 0.00 到 655.35 之间的数值");
  EXPECT_EQ(lang::Fill("between {2} and {3} for {1}", {"a", "b", "c"}), "between b and c for a");
  EXPECT_EQ(lang::Fill("{{1} {4} {x}", {"a"}), "{1}  {x}");
}

// A catalogue as msgfmt writes it: header, then sorted originals.
std::string MoFile(const std::vector<std::pair<std::string, std::string>>& entries) {
  const uint32_t n = static_cast<uint32_t>(entries.size());
  std::string out(28 + 16 * n, '\0');
  auto put = [&](size_t at, uint32_t v) { std::memcpy(&out[at], &v, 4); };
  put(0, 0x950412de);
  put(8, n);
  put(12, 28);
  put(16, 28 + 8 * n);
  for (int table = 0; table < 2; ++table) {
    for (uint32_t i = 0; i < n; ++i) {
      const std::string& text = table == 0 ? entries[i].first : entries[i].second;
      put(28 + 8 * n * table + 8 * i, static_cast<uint32_t>(text.size()));
      put(28 + 8 * n * table + 8 * i + 4, static_cast<uint32_t>(out.size()));
      out += text;
      out += '\0';
    }
  }
  return out;
}

TEST(CatalogueTest, ReadsTranslationsAndRefusesDamage) {
  const std::string good = MoFile({{"", "Content-Type: text/plain; charset=UTF-8\n"},
                                   {"读取", "Read"},
                                   {"配置", ""},
                                   {std::string("个\0个", 7), std::string("item\0items", 10)}});
  lang::Catalogue catalogue;
  ASSERT_EQ(catalogue.Parse(good), "");
  EXPECT_STREQ(catalogue.Find("读取"), "Read");
  EXPECT_EQ(catalogue.Find("配置"), nullptr);  // untranslated: the source stays
  EXPECT_STREQ(catalogue.Find("个"), "item");
  EXPECT_EQ(catalogue.Find(""), nullptr);
  EXPECT_EQ(catalogue.Size(), 2u);

  std::string truncated = good.substr(0, good.size() - 3);
  std::string pastTheEnd = good;
  const uint32_t far = 0x7fffffff;
  std::memcpy(&pastTheEnd[28 + 8 * 4 + 8 + 4], &far, 4);
  for (const std::string& bad : {std::string(), std::string("\xde\x12\x04", 3), truncated, pastTheEnd}) {
    lang::Catalogue damaged;
    EXPECT_NE(damaged.Parse(bad), "");
    EXPECT_EQ(damaged.Find("读取"), nullptr);
  }
}

// The catalogue the build made from po/en.po, found beside the program.
TEST(TextsTest, EnglishComesFromTheBuiltCatalogueAndChineseIsTheSource) {
  ASSERT_EQ(lang::Use(Language::English), "");
  EXPECT_EQ(lang::InUse(), Language::English);
  const char* english = lang::Tr("读取");
  EXPECT_STRNE(english, "读取");
  EXPECT_STREQ(lang::Tr("不在目录中的文字"), "不在目录中的文字");
  lang::Use(Language::Chinese);
  EXPECT_STREQ(lang::Tr("读取"), "读取");
  EXPECT_EQ(lang::In(Language::English, "读取"), english);  // a loader's view, whatever is in use
}

}  // namespace
