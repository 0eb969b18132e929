// korvelt test --mqtt as a station runs it, against the simulated driver
// and a real broker on loopback that is stopped in the middle of a series;
// mqtts; what is refused before the driver is touched.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <nlohmann/json.hpp>

#include "BrokerPeer.h"
#include "KorveltRun.h"
#include "SimulatedLine.h"
#include "publish/Publisher.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;

const std::string kSpooled = "条记录留在发布队列中";

// Identify, and a run whose speed a stalled rotor fails.
std::string Plan(const fs::path& folder, double window) {
  std::ofstream(folder / "plan.json") << R"({"format": "korvelt-test-plan", "version": 1, "name": "发布",
    "revision": "A", "steps": [{"type": "identify", "name": "型号", "model": "KVB-4815-RS485-S"},
    {"type": "run", "name": "空载", "command": {"mode": "frequency", "frequency": 400, "stop": "normal"}, "settle": 1,
     "window": )" << window << R"(, "measure": [{"field": "motorSpeed", "stat": "mean", "low": 100, "unit": "RPM"}]}]})";
  return (folder / "plan.json").string();
}

TEST(Publishing, RecordsArriveOnceEachInOrderAcrossABrokerStopAndStart) {
  DataHome data;
  Broker broker(data.Path());
  ASSERT_TRUE(broker.Start());
  Subscriber receiver(broker.Port(), "korvelt/#");
  ASSERT_TRUE(receiver.WaitSubscribed(10s));
  SimulatedLine line(2, sim::DriverOptions{.learned = true});
  const std::string plan = Plan(data.Path(), 0.5);
  const fs::path spool = fs::path(data.Path()) / "korvelt-demo/spool/台 7";
  // The broker takes anyone; no message may show the password.
  const std::string url = "mqtt://st7:pa%40s/s#-w0rd@127.0.0.1:" + std::to_string(broker.Port());
  std::vector<std::string> ids;
  // Each unit's exit status is its test's; `spooled` records stay behind.
  const auto unit = [&](int status, int spooled) {
    const KorveltRun run = RunKorvelt({"--lang", "zh", "--port", "COM2", "--json", "test", plan, "--serial",
                                       "KV-" + std::to_string(ids.size()), "--station", "台 7", "--assume-confirmed",
                                       "--mqtt", url}, 60000);
    EXPECT_EQ(run.status, status) << run.err;
    EXPECT_EQ(run.err.find("w0rd"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(kSpooled) != std::string::npos, spooled > 0) << run.err;
    EXPECT_EQ(spooled == 0, run.err.find(std::to_string(spooled) + " " + kSpooled) == std::string::npos) << run.err;
    ids.push_back(run.Json()["id"].get<std::string>());
    return run;
  };
  unit(0, 0);
  broker.Stop();
  unit(0, 1);
  line.Driver().SetMotorFault(sim::MotorFault::Stall);
  unit(1, 2);
  line.Driver().SetMotorFault(sim::MotorFault::None);
  // Not records: a record's name holding something else, and a stray file.
  // Each is set aside and said, never sent, never in the way.
  std::ofstream(spool / "00000000000000000001.json") << R"({"format": "korvelt-test-record", "id":)";
  std::ofstream(spool / "notes.txt") << "a technician's note";
  ASSERT_TRUE(broker.Start());
  const std::string err = unit(0, 0).err;
  EXPECT_NE(err.find("00000000000000000001.json.bad"), std::string::npos) << err;
  EXPECT_NE(err.find("notes.txt.bad"), std::string::npos) << err;
  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(spool)) left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{".lock", "00000000000000000001.json.bad", "notes.txt.bad"}));

  std::vector<std::string> received;
  for (const Message& message : receiver.WaitFor("台 7/result", ids.size(), 20s)) {
    received.push_back(json::parse(message.payload)["id"].get<std::string>());
  }
  EXPECT_EQ(received, ids);
  // The station's state is retained: a newcomer learns it at once.
  const std::vector<Message> state = Subscriber(broker.Port(), "korvelt/+/state").WaitFor("/state", 1, 10s);
  ASSERT_EQ(state.size(), 1u);
  EXPECT_EQ(state[0].payload, "idle");

  // A station that dies mid-test leaves its last will: "offline".
  ChildProcess dying({KORVELT_CLI_EXECUTABLE, "--port", "COM2", "test", Plan(data.Path(), 600), "--serial", "KV-9",
                      "--station", "台 7", "--assume-confirmed", "--mqtt", url});
  EXPECT_EQ(receiver.WaitFor("台 7/state", 1, 20s, "testing").back().payload, "testing");
  dying.Signal(SIGKILL);
  EXPECT_EQ(receiver.WaitFor("台 7/state", 1, 60s, "offline").back().payload, "offline");
}

// The broker's certificate is checked against the CA folder (the system's
// in korvelt), its name against the host; an untrusted broker gets nothing.
TEST(Publishing, TlsReachesOnlyABrokerWhoseCertificateIsTrusted) {
  DataHome data;
  Broker broker(data.Path());
  ASSERT_TRUE(broker.AddTls());
  ASSERT_TRUE(broker.Start());
  Subscriber receiver(broker.Port(), "korvelt/+/result");
  ASSERT_TRUE(receiver.WaitSubscribed(10s));
  const struct {
    std::string host, caFolder;
    size_t spooledAfter;  // one spool for all: the untrusted keep theirs
  } cases[] = {{"localhost", broker.CaFolder(), 0}, {"localhost", "/etc/ssl/certs", 1}, {"127.0.0.1", broker.CaFolder(), 2}};
  for (const auto& c : cases) {
    publish::PublisherSettings settings;
    settings.broker = *publish::ParseBrokerUrl("mqtts://" + c.host + ":" + std::to_string(broker.TlsPort())).url;
    settings.station = "tls";
    settings.caFolder = c.caFolder;
    publish::Publisher publisher(settings);
    ASSERT_EQ(publisher.Start(), "") << c.caFolder;
    ASSERT_EQ(publisher.Publish(R"({"format": "korvelt-test-record", "id": "tls-1"})"), "");
    EXPECT_EQ(publisher.WaitDelivered(20s), c.spooledAfter) << c.host << " " << c.caFolder;
    EXPECT_EQ(publisher.State().link == publish::Publisher::Link::Away, c.spooledAfter > 0) << c.caFolder;
  }
  ASSERT_EQ(receiver.WaitFor("/result", 1, 10s).size(), 1u);
}

TEST(Publishing, ABrokerUrlThatDoesNotParseIsRefusedBeforeTheDriverIsTouched) {
  DataHome data;
  SimulatedLine line(2, sim::DriverOptions{.learned = true});
  const std::pair<const char*, const char*> cases[] = {
      {"http://127.0.0.1", "mqtt://"}, {"mqtt://", "缺少主机"}, {"mqtt://h:0", "端口"}, {"mqtt://h:65536", "端口"},
      {"mqtts://h:88x3", "端口"}, {"mqtt://h/plant", "路径"}, {"mqtt://u:s%zzecret@h", "%"},
      {"mqtt://u:secret@b h", "主机"}, {"mqtt://[::1", "]"}};
  for (const auto& [url, says] : cases) {
    const KorveltRun run = RunKorvelt({"--lang", "zh", "--port", "COM2", "test", Plan(data.Path(), 0.5), "--serial",
                                       "KV-1", "--assume-confirmed", "--mqtt", url});
    EXPECT_EQ(run.status, 2) << url << run.err;
    EXPECT_NE(run.err.find(says), std::string::npos) << url << run.err;
    EXPECT_EQ(run.err.find("ecret"), std::string::npos) << run.err;
  }
  EXPECT_TRUE(line.Driver().LastRequest().empty()) << "nothing was sent to the driver";
  EXPECT_FALSE(fs::exists(fs::path(data.Path()) / "korvelt-demo"));
}

}  // namespace
