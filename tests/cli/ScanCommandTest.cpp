// korvelt scan as a user runs it: the simulated driver at an address and
// rate of its own, found in the table and in the JSON document.
#include <gtest/gtest.h>

#include "KorveltRun.h"
#include "SimulatedLine.h"
#include "fields/DeviceInfoTexts.h"

namespace {

TEST(KorveltScan, FindsTheDriverAndSaysSoInItsExitStatus) {
  sim::DriverOptions options;
  options.address = 42;
  SimulatedLine line(2, options);

  const KorveltRun json = RunKorvelt({"--port", "COM2", "--json", "scan", "--addresses", "40-44"});
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json document = json.Json();
  ASSERT_EQ(document["found"].size(), 1u) << json.out;
  EXPECT_EQ(document["found"][0]["address"], 42);
  EXPECT_EQ(document["found"][0]["baud"], 9600);
  EXPECT_EQ(document["found"][0]["parity"], "none2");
  EXPECT_EQ(document["found"][0]["device"]["fields"][fields::ModelField]["text"], "KVB-4815-RS485-S");
  EXPECT_EQ(document["tried"], 5);
  EXPECT_TRUE(document["seconds"].is_number());

  const KorveltRun table = RunKorvelt({"--port", "COM2", "scan", "--addresses", "42", "--bauds", "9600,19200"});
  EXPECT_EQ(table.status, 0) << table.err;
  EXPECT_NE(table.out.find("42    9600"), std::string::npos) << table.out;

  const KorveltRun none = RunKorvelt({"--port", "COM2", "scan", "--addresses", "1-3"});
  EXPECT_EQ(none.status, 4) << "nothing answered";
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(RunKorvelt({"--port", "COM2", "scan", "--addresses", "5-2"}).status, 2);
  EXPECT_EQ(RunKorvelt({"--port", "COM2", "scan", "--bauds", "1200"}).status, 2);
}

}  // namespace
