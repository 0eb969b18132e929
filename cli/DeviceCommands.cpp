// korvelt ports, info and status: what the window's connection panel,
// device-information box and status box show.
#include <filesystem>
#include <memory>

#include "cli/Program.h"
#include "device/IdentityJson.h"
#include "fields/DeviceInfoTexts.h"
#include "fields/StatusTexts.h"
#include "lang/Texts.h"
#include "link/PortNames.h"

namespace cli {
namespace {

// The window's port list.
constexpr unsigned kListedPorts = 15;

using lang::Tr;
using nlohmann::json;

// The name, text and unit in the language in use, as a parameter file
// carries them; the key is the same in every language.
json FieldJson(const char* key, const char* name, const std::string& text, const char* unit) {
  return json{{"key", key}, {"name", Tr(name)}, {"text", Tr(text)}, {"unit", Tr(unit)}};
}

int Ports(Program& program) {
  json ports = json::array();
  std::vector<TextRow> rows;
  for (unsigned n = 1; n <= kListedPorts; ++n) {
    const std::string device = ResolveComPort(n);
    if (device.empty()) continue;
    const std::string stable = StableDeviceName(device);
    const bool linked = std::filesystem::is_symlink(ComLinkPath(n));
    ports.push_back({{"port", "COM" + std::to_string(n)}, {"device", device}, {"stableName", stable},
                     {"linked", linked}});
    rows.push_back({"COM" + std::to_string(n), device + (stable.empty() ? "" : "  " + stable), ""});
  }
  if (program.options.json) {
    program.PrintJson(json{{"ports", ports}, {"folder", PortsDirectory()}});
  } else {
    program.Print(FormatRows(rows));
  }
  return Done;
}

// What the driver answered is shown even when it answered no
// identification request; the status then is that request's.
int Info(Program& program) {
  CommandSession session;
  if (const int status = program.Open(session); status != Done) return status;
  DeviceIdentity identity;
  const ModbusResult result = ReadDeviceIdentity(session.Link(), session.Address(), identity);
  if (result != ResultSuccess) return program.Fail(result, "读取信息");
  if (program.options.json) {
    program.PrintJson(device::IdentityJson(device::RecordOf(identity)));
  } else {
    const auto fields = fields::DeviceInfoFields();
    std::vector<TextRow> rows;
    // The driver's texts as it gave them.
    for (size_t i = 0; i < fields.size(); ++i) rows.push_back({Tr(fields[i].name), identity.texts[i], Tr(fields[i].unit)});
    for (const IdentityObject& object : identity.objects) rows.push_back({object.name, object.value, ""});
    program.Print(FormatRows(rows));
  }
  if (identity.ObjectsAbsent()) return program.Fail(identity.objectsResult, "读取标识对象");
  return Done;
}

int Status(Program& program) {
  CommandSession session;
  if (const int status = program.Open(session); status != Done) return status;
  StatusBlock block{};
  const ModbusResult result = session.Link().ReadStatus(session.Address(), block);
  if (result != ResultSuccess) return program.Fail(result, "读取状态");
  const auto fields = fields::StatusFields();
  const auto texts = fields::StatusTexts(block);
  if (program.options.json) {
    json list = json::array();
    for (size_t i = 0; i < fields.size(); ++i) {
      json field = FieldJson(fields[i].key, fields[i].name, texts[i], fields[i].unit);
      if (const std::optional<double> value = fields::StatusValue(block, i)) field["value"] = *value;
      list.push_back(field);
    }
    program.PrintJson(json{{"fields", list}});
    return Done;
  }
  std::vector<TextRow> rows;
  for (size_t i = 0; i < fields.size(); ++i) rows.push_back({Tr(fields[i].name), Tr(texts[i]), Tr(fields[i].unit)});
  program.Print(FormatRows(rows));
  return Done;
}

}  // namespace

void AddDeviceCommands(CLI::App& app, Program& program) {
  app.add_subcommand("ports", Tr("COM 号、对应的设备和固定名称"))->callback([&program] {
    program.run = Ports;
  });
  app.add_subcommand("info", Tr("设备信息和标识对象"))->callback([&program] {
    program.run = [](Program& p) { return p.ForEachDriver(Info); };
  });
  app.add_subcommand("status", Tr("读一次状态, 文字和单位与窗口相同"))->callback([&program] {
    program.run = [](Program& p) { return p.ForEachDriver(Status); };
  });
}

}  // namespace cli
