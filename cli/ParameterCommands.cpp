// korvelt read, write, backup, diff and restore: the parameter blocks and
// the parameter file, on the same library as the window's "保存参数..." and
// "载入参数...".
#include <algorithm>
#include <memory>

#include "cli/Interrupt.h"
#include "cli/Program.h"
#include "device/IdentityJson.h"
#include "fields/PrintableText.h"
#include "paramfile/RestorePlan.h"
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
pf::Work Interruptible() { return {{}, CatchInterrupts()}; }

pf::Header HeaderOf(const session::Session& session) { return pf::HeaderNow(session.Origin()); }

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
  CommandSession session;
  if (const int status = program.Open(session); status != Done) return status;
  DriverLink& link = session.Link();
  const std::vector<size_t> blocks = Indexes(args.blocks);
  pf::DeviceImage device;
  // The file's form carries the identity; the text does without it.
  const pf::StepResult end =
      pf::ReadDevice(link, session.Address(), blocks, program.options.json, Interruptible(), device);
  if (!end.Done()) return Failed(program, end);
  if (program.options.json) {
    const pf::Identity identity = pf::IdentityOf(device.identity);
    program.Print(pf::DocumentText(pf::Document(HeaderOf(session), &identity, device.blocks)));
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
  CommandSession session;
  if (const int status = program.Open(session); status != Done) return status;
  DriverLink& link = session.Link();
  pf::DeviceImage device;
  const pf::StepResult end = pf::ReadDevice(link, session.Address(), {index}, false, Interruptible(), device);
  if (!end.Done()) return Failed(program, end);
  pf::BlockWords plan = pf::NoBlocks();
  plan[index] = device.blocks[index];
  if (std::string refusal = pf::TakeTexts(block, Assignments(args.assignments), plan[index]); !refusal.empty()) {
    return Refused(program, refusal);
  }
  return Report(program, pf::WriteAndCheck(link, session.Address(), plan, Interruptible()));
}

int Backup(Program& program, const Arguments& args) {
  CommandSession session;
  if (const int status = program.Open(session); status != Done) return status;
  DriverLink& link = session.Link();
  pf::DeviceImage device;
  const pf::StepResult end =
      pf::ReadDevice(link, session.Address(), pf::AllBlocks(), true, Interruptible(), device);
  if (!end.Done()) return Failed(program, end);
  // Saved all the same, with the objects marked absent in the file.
  if (device.identity.ObjectsAbsent()) program.Say(device.identity.ObjectsAbsentReason());
  const std::string text = pf::DeviceDocument(device, HeaderOf(session));
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

// The file, the device read for it and, for diff, the two compared; a
// status other than Done when that could not be done.
struct Compared {
  pf::ParamFile file;
  pf::DeviceImage device;
  std::vector<size_t> blocks;
  pf::Comparison comparison;
};

int ReadForFile(Program& program, const Arguments& args, session::Session& session, Compared& compared) {
  pf::Loaded loaded = pf::LoadParamFile(args.file);
  if (!loaded.file) return Refused(program, loaded.refusal);
  compared.file = std::move(*loaded.file);
  if (std::string refusal = pf::BlocksOfFile(compared.file, Indexes(args.only), compared.blocks); !refusal.empty()) {
    return Refused(program, refusal);
  }
  if (const int status = program.Open(session); status != Done) return status;
  // Every block, so that a restore's backup holds the whole device.
  const pf::StepResult end =
      pf::ReadDevice(session.Link(), session.Address(), pf::AllBlocks(), true, Interruptible(), compared.device);
  return end.Done() ? Done : Failed(program, end);
}

int CompareFile(Program& program, const Arguments& args, session::Session& session, Compared& compared) {
  if (const int status = ReadForFile(program, args, session, compared); status != Done) return status;
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
  CommandSession session;
  Compared compared;
  if (const int status = CompareFile(program, args, session, compared); status != Done) return status;
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

// The restore's questions as they come: each is said as the window puts
// it; --force answers yes, and without it nothing is written.
bool Answered(const Program& program, const Arguments& args, pf::RestorePlan& plan) {
  while (plan.Next() == pf::Due::Answer) {
    program.Say(plan.Pending().text);
    if (!args.force) {
      program.Say(std::string("未写入; 用 --force 回答“是”") +
                  (plan.Pending().question == pf::Question::WithoutBackup ? ", 或用 --no-backup 不备份写入" : ""));
      return false;
    }
    program.Say("--force: 是");
    plan.Answer(true);
  }
  return true;
}

// The question the plan waits on, for a script: its name and its text;
// null when it waits on none.
json QuestionJson(const pf::RestorePlan& plan) {
  if (plan.Next() != pf::Due::Answer) return nullptr;
  return {{"question", pf::QuestionName(plan.Pending().question)}, {"text", plan.Pending().text}};
}

// A question left unanswered: nothing written, and the JSON says which.
int LeftUnanswered(const Program& program, const pf::RestorePlan& plan, json extra = json::object()) {
  if (program.options.json) {
    extra["written"] = json::array();
    extra["verified"] = false;
    extra["mismatches"] = json::array();
    extra["unanswered"] = QuestionJson(plan);
    program.PrintJson(extra);
  }
  return Unanswered;
}

int Restore(Program& program, const Arguments& args) {
  CommandSession session;
  Compared compared;
  if (const int status = ReadForFile(program, args, session, compared); status != Done) return status;
  pf::RestorePlan plan;
  if (std::string refusal = plan.Start(compared.file, Indexes(args.only), compared.device); !refusal.empty()) {
    return Refused(program, refusal);
  }
  if (!Answered(program, args, plan)) return LeftUnanswered(program, plan);
  const std::vector<pf::Difference>& rows = plan.Compared().rows;
  const std::vector<bool> all(rows.size(), true);
  if (plan.Next() == pf::Due::Same || args.dryRun) {
    if (plan.Next() == pf::Due::Same) program.Say(pf::SameText);
    const pf::BlockWords words = pf::ChosenWords(plan.Device().blocks, plan.Compared().file, rows, all);
    plan.Choose(all);
    // What a write would be asked.
    if (plan.Next() == pf::Due::Answer) program.Say(plan.Pending().text);
    if (program.options.json) {
      json list = json::array();
      for (const pf::Difference& row : rows) list.push_back(DifferenceJson(row));
      // A write would ask what the dry run leaves unanswered.
      program.PrintJson({{"written", json::array()}, {"toWrite", KeysJson(pf::WriteOrder(words))},
                         {"differences", list}, {"verified", rows.empty()}, {"mismatches", json::array()},
                         {"unanswered", QuestionJson(plan)}});
    } else if (!rows.empty()) {
      compared.comparison = plan.Compared();
      PrintDifferences(program, compared);
      program.Print("将写入: " + pf::BlockKeys(pf::WriteOrder(words)) + "\n");
    }
    return Done;
  }
  plan.Choose(all);
  if (!Answered(program, args, plan)) return LeftUnanswered(program, plan);
  // Nothing is written without its backup, of a read taken now, unless the
  // command line says so.
  if (args.noBackup) {
    program.Say("未备份 (--no-backup)");
    plan.SkipBackup();
  } else {
    pf::BackupTaken backup = pf::TakeBackup(session.Link(), session.Address(), HeaderOf(session), Interruptible());
    if (backup.read.cancelled) return Failed(program, backup.read);
    plan.BackedUp(std::move(backup));
    if (!plan.BackupPath().empty()) program.Say(pf::BackedUpText(plan.BackupPath()));
    if (!Answered(program, args, plan)) return LeftUnanswered(program, plan, {{"backup", nullptr}});
  }
  const json backupPath = plan.BackupPath().empty() ? json() : json(plan.BackupPath());
  return Report(program, pf::WriteAndCheck(session.Link(), session.Address(), plan.Words(), Interruptible()),
                {{"backup", backupPath}, {"unanswered", nullptr}});
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
  restore->add_flag("--force", args->force,
                    "answer yes to every question of the restore (a file saved from another model, a change of "
                    "the driver's baud rate or parity, a backup that could not be taken); without it such a "
                    "question writes nothing and ends with 8");
  restore->add_flag("--no-backup", args->noBackup,
                    "write without saving the device among the backups first");
  restore->callback(runs(Restore));
}

}  // namespace cli
