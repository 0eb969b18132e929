// korvelt read, write, backup, diff and restore: the parameter blocks and
// the parameter file, on the same library as the window's "保存参数..." and
// "载入参数...".
#include <algorithm>
#include <memory>

#include "cli/Interrupt.h"
#include "cli/Program.h"
#include "device/IdentityJson.h"
#include "fields/PrintableText.h"
#include "paramfile/Restore.h"
#include "base/AtomicFile.h"

namespace cli {
namespace {

using nlohmann::json;
namespace pf = paramfile;

// What the parameter commands take from the command line.
struct Arguments {
  std::vector<std::string> blocks;       // read
  std::string block;                     // write
  std::vector<std::string> assignments;  // write: KEY=TEXT
  std::string file;                      // backup, diff, restore
  std::vector<std::string> only;         // restore
  bool dryRun = false;
  bool force = false;
  bool noBackup = false;  // restore: write without the backup first
};

std::vector<std::string> BlockKeyList() {
  std::vector<std::string> keys;
  for (const fields::ParamBlock& block : fields::ParamBlocks()) keys.emplace_back(block.key);
  return keys;
}

std::vector<size_t> Indexes(const std::vector<std::string>& keys) {
  std::vector<size_t> blocks;
  for (const std::string& key : keys) {
    if (key == "all") return pf::AllBlocks();
    const size_t index = *pf::BlockIndex(key);
    if (std::find(blocks.begin(), blocks.end(), index) == blocks.end()) blocks.push_back(index);
  }
  std::sort(blocks.begin(), blocks.end());
  return blocks;
}

json KeysJson(const std::vector<size_t>& blocks) {
  json keys = json::array();
  for (const size_t index : blocks) keys.push_back(pf::BlockAt(index).key);
  return keys;
}

json DifferenceJson(const pf::Difference& row) {
  return {{"block", pf::BlockAt(row.block).key}, {"key", row.key},   {"name", row.name},
          {"device", row.device},                {"file", row.file}, {"unit", row.unit}};
}

json MismatchJson(const pf::Difference& row) {
  return {{"block", pf::BlockAt(row.block).key}, {"key", row.key}, {"name", row.name}, {"wrote", row.file},
          {"read", row.device}};
}

// "电机参数配置 额定电流  2.00 -> 1.50 A", one line per row.
std::string DifferenceLines(const std::vector<pf::Difference>& rows, bool readBack) {
  std::vector<TextRow> lines;
  for (const pf::Difference& row : rows) {
    const std::string change = readBack ? "写入 " + row.file + ", 读回 " + row.device : row.device + " -> " + row.file;
    lines.push_back({std::string(pf::BlockAt(row.block).title) + " " + row.name, change, row.unit});
  }
  return FormatRows(lines);
}

std::string IdentityLine(const pf::Identity& identity) {
  return fields::Printable(identity.Identity() + " " + identity.Model() + " " + identity.Version());
}

// Long work stops between two transactions on SIGINT or SIGTERM.
pf::Work Interruptible() { return {{}, &CatchInterrupts().flag}; }

pf::Header HeaderOf(const Program& program) {
  const GlobalOptions& o = program.options;
  return pf::HeaderNow("korvelt", o.port, o.baud, o.parity, o.address);
}

int Failed(const Program& program, const pf::StepResult& end) {
  if (end.cancelled) {
    program.Say(pf::CancelledText);
    return Interrupted;
  }
  return program.Fail(end.result, end.step);
}

int Refused(const Program& program, const std::string& refusal) {
  program.Say(refusal);
  return FileDoesNotFit;
}

int Read(Program& program, const Arguments& args) {
  DriverLink link;
  if (const int status = program.Open(link); status != Done) return status;
  const std::vector<size_t> blocks = Indexes(args.blocks);
  pf::DeviceImage device;
  // The file's form carries the identity; the text does without it.
  const pf::StepResult end =
      pf::ReadDevice(link, program.Address(), blocks, program.options.json, Interruptible(), device);
  if (!end.Done()) return Failed(program, end);
  if (program.options.json) {
    const pf::Identity identity = pf::IdentityOf(device.identity);
    program.Print(pf::DocumentText(pf::Document(HeaderOf(program), &identity, device.blocks)));
    return Done;
  }
  std::string text;
  for (const size_t index : blocks) {
    std::vector<TextRow> rows;
    for (const pf::FieldText& field : pf::TextsOf(pf::BlockAt(index), device.blocks[index])) {
      rows.push_back({field.name, field.text, field.unit});
    }
    text += std::string(text.empty() ? "" : "\n") + "[" + pf::BlockAt(index).title + "]\n" + FormatRows(rows);
  }
  program.Print(text);
  return Done;
}

// What a write or a restore did: the blocks written, whether each read back
// as written, and which fields did not.
int Report(const Program& program, const pf::RestoreReport& report, json extra = json::object()) {
  if (program.options.json) {
    json mismatches = json::array();
    for (const pf::Difference& row : report.mismatches) mismatches.push_back(MismatchJson(row));
    extra["written"] = KeysJson(report.written);
    extra["verified"] = report.Verified();
    extra["mismatches"] = mismatches;
    program.PrintJson(extra);
  } else if (!report.written.empty()) {
    program.Print("已写入: " + pf::BlockKeys(report.written) + "\n" +
                  (report.Verified() ? "读回一致\n" : DifferenceLines(report.mismatches, true)));
  }
  if (!report.end.Done()) {
    const int status = Failed(program, report.end);
    program.Say(report.written.empty() ? "未写入任何参数块" : "已写入: " + pf::BlockKeys(report.written));
    return status;
  }
  if (!report.mismatches.empty()) {
    for (const pf::Difference& row : report.mismatches) {
      program.Say(std::string("读回与写入不同: ") + pf::BlockAt(row.block).title + " " + row.name + ": 写入 " +
                  row.file + ", 读回 " + row.device);
    }
    return ReadBackDiffers;
  }
  return Done;
}

// "KEY=TEXT" into its two parts; the text may itself hold '='.
std::vector<pf::TextEntry> Assignments(const std::vector<std::string>& assignments) {
  std::vector<pf::TextEntry> texts;
  for (const std::string& assignment : assignments) {
    const size_t equals = assignment.find('=');
    texts.push_back({assignment.substr(0, equals), assignment.substr(equals + 1)});
  }
  return texts;
}

int Write(Program& program, const Arguments& args) {
  const size_t index = *pf::BlockIndex(args.block);
  const fields::ParamBlock& block = pf::BlockAt(index);
  DriverLink link;
  if (const int status = program.Open(link); status != Done) return status;
  pf::DeviceImage device;
  const pf::StepResult end = pf::ReadDevice(link, program.Address(), {index}, false, Interruptible(), device);
  if (!end.Done()) return Failed(program, end);
  pf::BlockWords plan = pf::NoBlocks();
  plan[index] = device.blocks[index];
  if (std::string refusal = pf::TakeTexts(block, Assignments(args.assignments), plan[index]); !refusal.empty()) {
    return Refused(program, refusal);
  }
  return Report(program, pf::WriteAndCheck(link, program.Address(), plan, Interruptible()));
}

int Backup(Program& program, const Arguments& args) {
  DriverLink link;
  if (const int status = program.Open(link); status != Done) return status;
  pf::DeviceImage device;
  const pf::StepResult end =
      pf::ReadDevice(link, program.Address(), pf::AllBlocks(), true, Interruptible(), device);
  if (!end.Done()) return Failed(program, end);
  // Saved all the same, with the objects marked absent in the file.
  if (device.identity.ObjectsAbsent()) program.Say(device.identity.ObjectsAbsentReason());
  const std::string text = pf::DeviceDocument(device, HeaderOf(program));
  if (args.file == "-") {
    program.Print(text);
    return Done;
  }
  if (std::string failure = base::WriteWholeFile(args.file, text); !failure.empty()) {
    program.Say(failure);
    return FileNotWritten;
  }
  if (program.options.json) program.Print(text);
  return Done;
}

// The file, the device read for it and the two compared; a status other
// than Done when that could not be done.
struct Compared {
  pf::ParamFile file;
  pf::DeviceImage device;
  std::vector<size_t> blocks;
  pf::Comparison comparison;
};

int CompareFile(Program& program, const Arguments& args, DriverLink& link, Compared& compared) {
  pf::Loaded loaded = pf::LoadParamFile(args.file);
  if (!loaded.file) return Refused(program, loaded.refusal);
  compared.file = std::move(*loaded.file);
  if (std::string refusal = pf::BlocksOfFile(compared.file, Indexes(args.only), compared.blocks); !refusal.empty()) {
    return Refused(program, refusal);
  }
  if (const int status = program.Open(link); status != Done) return status;
  // Every block, so that a restore's backup holds the whole device.
  const pf::StepResult end =
      pf::ReadDevice(link, program.Address(), pf::AllBlocks(), true, Interruptible(), compared.device);
  if (!end.Done()) return Failed(program, end);
  if (std::string refusal = pf::CompareWithFile(compared.file, compared.device, compared.blocks, compared.comparison);
      !refusal.empty()) {
    return Refused(program, refusal);
  }
  return Done;
}

json IdentityReport(const Compared& compared) {
  return {{"differs", compared.comparison.identityDiffers},
          {"device", json(device::IdentityJson(pf::IdentityOf(compared.device.identity)))},
          {"file", compared.file.device ? json(device::IdentityJson(*compared.file.device)) : json()}};
}

void PrintDifferences(const Program& program, const Compared& compared) {
  std::string text = DifferenceLines(compared.comparison.rows, false);
  if (compared.comparison.identityDiffers) {
    text = "设备不同: 文件 " + IdentityLine(*compared.file.device) + ", 设备 " +
           IdentityLine(pf::IdentityOf(compared.device.identity)) + "\n" + text;
  }
  program.Print(text);
}

int Diff(Program& program, const Arguments& args) {
  DriverLink link;
  Compared compared;
  if (const int status = CompareFile(program, args, link, compared); status != Done) return status;
  const std::vector<pf::Difference>& rows = compared.comparison.rows;
  if (program.options.json) {
    json list = json::array();
    for (const pf::Difference& row : rows) list.push_back(DifferenceJson(row));
    program.PrintJson({{"differences", list}, {"identity", IdentityReport(compared)}});
  } else {
    PrintDifferences(program, compared);
  }
  return rows.empty() ? Done : Differs;
}

int Restore(Program& program, const Arguments& args) {
  DriverLink link;
  Compared compared;
  if (const int status = CompareFile(program, args, link, compared); status != Done) return status;
  const pf::Comparison& comparison = compared.comparison;
  if (comparison.modelDiffers && !args.force) {
    return Refused(program, "文件来自另一型号的设备 (文件 " + fields::Printable(compared.file.device->Model()) + ", 设备 " +
                                fields::Printable(compared.device.identity.Model()) + "); 用 --force 仍然写入");
  }
  const pf::BlockWords plan = pf::ChosenWords(compared.device.blocks, comparison.file, comparison.rows,
                                              std::vector<bool>(comparison.rows.size(), true));
  if (comparison.rows.empty() || args.dryRun) {
    if (comparison.rows.empty()) program.Say("设备参数与文件相同, 未写入");
    if (program.options.json) {
      json list = json::array();
      for (const pf::Difference& row : comparison.rows) list.push_back(DifferenceJson(row));
      program.PrintJson({{"written", json::array()}, {"toWrite", KeysJson(pf::WriteOrder(plan))},
                         {"differences", list}, {"verified", comparison.rows.empty()}, {"mismatches", json::array()}});
    } else if (args.dryRun && !comparison.rows.empty()) {
      PrintDifferences(program, compared);
      program.Print("将写入: " + pf::BlockKeys(pf::WriteOrder(plan)) + "\n");
    }
    return Done;
  }
  // Nothing is written without its backup, unless the command line says so.
  json backupPath = nullptr;
  if (args.noBackup) {
    program.Say("未备份 (--no-backup)");
  } else {
    const pf::SavedBackup backup = pf::BackUp(compared.device, HeaderOf(program));
    if (!backup.error.empty()) {
      program.Say("未能备份 (" + backup.error + "), 未写入; 用 --no-backup 不备份写入");
      return FileNotWritten;
    }
    program.Say("已备份到 " + backup.path);
    backupPath = backup.path;
  }
  return Report(program, pf::WriteAndCheck(link, program.Address(), plan, Interruptible()),
                {{"backup", backupPath}});
}

}  // namespace

void AddParameterCommands(CLI::App& app, Program& program) {
  auto args = std::make_shared<Arguments>();
  const std::vector<std::string> keys = BlockKeyList();
  std::vector<std::string> keysOrAll = keys;
  keysOrAll.emplace_back("all");
  const auto runs = [&program, args](int (*command)(Program&, const Arguments&)) {
    return [&program, args, command] { program.run = [args, command](Program& p) { return command(p, *args); }; };
  };

  CLI::App* read = app.add_subcommand("read", "the fields of blocks (ramp motor system pid reciprocate preset-speed)");
  read->add_option("BLOCK", args->blocks, "blocks, or all")->required()->check(CLI::IsMember(keysOrAll));
  read->callback(runs(Read));

  CLI::App* write = app.add_subcommand(
      "write", "read the block, change fields (by key or name) with the pages' entry rules, write it, "
               "read it back and compare");
  write->add_option("BLOCK", args->block, "the block")->required()->check(CLI::IsMember(keys));
  write->add_option("KEY=TEXT", args->assignments, "fields and their texts")
      ->required()
      ->check(CLI::Validator(
          [](const std::string& text) {
            return text.find('=') == std::string::npos || text[0] == '=' ? std::string("KEY=TEXT") : std::string();
          },
          "KEY=TEXT"));
  write->callback(runs(Write));

  CLI::App* backup = app.add_subcommand("backup", "every parameter block into a parameter file ('-': standard output)");
  backup->add_option("FILE", args->file, "the file to write")->required();
  backup->callback(runs(Backup));

  CLI::App* diff = app.add_subcommand("diff", "the fields where the device differs from the file");
  diff->add_option("FILE", args->file, "a parameter file ('-': standard input)")->required();
  diff->callback(runs(Diff));

  CLI::App* restore = app.add_subcommand("restore", "write the blocks that differ, read each back and compare");
  restore->add_option("FILE", args->file, "a parameter file ('-': standard input)")->required();
  restore->add_option("--only", args->only, "these blocks alone (comma-separated)")
      ->delimiter(',')
      ->check(CLI::IsMember(keys));
  restore->add_flag("--dry-run", args->dryRun, "show what would be written, write nothing");
  restore->add_flag("--force", args->force, "write a file saved from another model");
  restore->add_flag("--no-backup", args->noBackup,
                    "write without saving the device among the backups first (without it, a backup that "
                    "cannot be saved writes nothing and ends with 9)");
  restore->callback(runs(Restore));
}

}  // namespace cli
