// The unit's report page as an XML parser reads it: whether it is
// well-formed, its elements, the rows of its tables with their class and
// text, and for each plot its limit lines and the points of its series.
#pragma once

#include <expat.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

struct ReportPage {
  struct Row {
    std::string cls;
    std::string text;
  };
  struct Plot {
    int limits = 0;
    size_t mostPoints = 0;  // of its longest series
  };
  bool wellFormed = false;
  std::map<std::string, int> elements;
  std::vector<Row> rows;
  std::vector<Plot> plots;
  std::string text;  // every text of the page, joined
};

inline ReportPage ParseReportPage(const std::string& html) {
  ReportPage page;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &page);
  XML_SetStartElementHandler(parser, [](void* data, const XML_Char* element, const XML_Char** attributes) {
    auto& page = *static_cast<ReportPage*>(data);
    const std::string name = element;
    ++page.elements[name];
    std::map<std::string, std::string> values;
    for (size_t i = 0; attributes[i] != nullptr; i += 2) values[attributes[i]] = attributes[i + 1];
    if (name == "tr") page.rows.push_back({values["class"], ""});
    if (name == "svg") page.plots.emplace_back();
    if (page.plots.empty()) return;
    if (name == "line" && values["class"] == "limit") ++page.plots.back().limits;
    if (name == "path") {
      const std::string& d = values["d"];
      const size_t points = static_cast<size_t>(std::count_if(d.begin(), d.end(), [](char c) { return c == 'M' || c == 'L'; }));
      page.plots.back().mostPoints = std::max(page.plots.back().mostPoints, points);
    }
  });
  XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
    auto& page = *static_cast<ReportPage*>(data);
    page.text.append(text, static_cast<size_t>(length));
    if (!page.rows.empty()) page.rows.back().text.append(text, static_cast<size_t>(length));
  });
  page.wellFormed = XML_Parse(parser, html.data(), static_cast<int>(html.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return page;
}
