// korvelt read, write, backup, diff and restore: the parameter blocks and
// the parameter file, on the same library as the window's "保存参数..." and
// "载入参数...".
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include "cli/Checks.h"
#include "cli/Interrupt.h"
#include "cli/ParameterReport.h"
#include "cli/Program.h"
#include "device/IdentityJson.h"
#include "fields/PrintableText.h"
#include "lang/Texts.h"
#include "paramfile/RestorePlan.h"
#include "paramfile/SeveralDrivers.h"
#include "base/AtomicFile.h"

namespace cli {
namespace {

using lang::Fill;
using lang::Tr;
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
  bool withLearning = false;  // restore, write: the motor's learning result too
  // diff, restore: the file as read for the first driver, for the others too
  // (standard input can be read once).
  mutable std::optional<pf::Loaded> loaded;
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

std::string IdentityLine(const pf::Identity& identity) {
  return fields::Printable(identity.Identity() + " " + identity.Model() + " " + identity.Version());
}

// Long work stops between two transactions on SIGINT or SIGTERM.
pf::Work Interruptible() { return {{}, CatchInterrupts()}; }

pf::Header HeaderOf(const session::Session& session) { return pf::HeaderNow(session.Origin()); }

int Refused(const Program& program, const std::string& refusal) {
  program.Say(refusal);
  return FileDoesNotFit;
}

// "电机学习状态, 电机相序数据": the learning result's rows by name.
std::string LearningNames(const std::vector<pf::Difference>& rows) {
  std::string names;
  for (const pf::Difference& row : rows) names += (names.empty() ? "" : ", ") + Tr(row.name);
  return names;
}

json LearningKeys(const std::vector<pf::Difference>& rows) {
  json keys = json::array();
  for (const pf::Difference& row : rows) keys.push_back(row.key);
  return keys;
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
      rows.push_back({Tr(field.name), Tr(field.text), Tr(field.unit)});
    }
    text += std::string(text.empty() ? "" : "\n") + "[" + Tr(pf::BlockAt(index).title) + "]\n" + FormatRows(rows);
  }
  program.Print(text);
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
  std::vector<pf::Difference> learning = pf::CompareBlock(index, device.blocks[index], plan[index]);
  std::erase_if(learning, [](const pf::Difference& row) { return !row.learning; });
  if (!learning.empty() && !args.withLearning) {
    return Refused(program, Fill(Tr("本机学习结果 ({1}) 只在给出 --with-learning 时写入"), {LearningNames(learning)}));
  }
  const pf::Learning judged = learning.empty() ? pf::Learning::Kept : pf::Learning::Written;
  return Report(program, pf::WriteAndCheck(link, session.Address(), plan, judged, Interruptible()));
}

int Backup(Program& program, const Arguments& args) {
  CommandSession session;
  const std::time_t now = std::time(nullptr);
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
  // Several drivers: each into a file of its own in the folder.
  const std::string path = program.SeveralDrivers()
                               ? pf::DriverFilePath(args.file, session.Address(), device.identity.Model(), now)
                               : args.file;
  if (std::string failure = base::WriteWholeFile(path, text); !failure.empty()) {
    program.Say(failure);
    return FileNotWritten;
  }
  if (program.options.json) {
    program.Print(text);
  } else if (program.SeveralDrivers()) {
    program.Print(path + "\n");
  }
  return Done;
}

// The folder the files of several drivers go to, made when missing.
int BackupFolder(const Program& program, const Arguments& args) {
  if (args.file == "-") {
    program.Say(Tr("多个地址时 backup 写入一个文件夹, 每个驱动器一个文件, 而不是标准输出"));
    return Usage;
  }
  std::error_code error;
  std::filesystem::create_directories(args.file, error);
  if (!error && std::filesystem::is_directory(args.file, error)) return Done;
  program.Say(Fill(Tr("无法创建文件夹 {1}: {2}"),
                   {args.file, error ? error.message() : std::string(Tr("已有同名的文件"))}));
  return FileNotWritten;
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
  if (!args.loaded) args.loaded = pf::LoadParamFile(args.file);
  if (!args.loaded->file) return Refused(program, args.loaded->refusal);
  compared.file = *args.loaded->file;
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
    text = Fill(Tr("设备不同: 文件 {1}, 设备 {2}"),
                {IdentityLine(*compared.file.device), IdentityLine(pf::IdentityOf(compared.device.identity))}) +
           "\n" + text;
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
      program.Say(Tr(plan.Pending().question == pf::Question::WithoutBackup
                         ? "未写入; 用 --force 回答“是”, 或用 --no-backup 不备份写入"
                         : "未写入; 用 --force 回答“是”"));
      return false;
    }
    program.Say(Tr("--force: 是"));
    plan.Answer(true);
  }
  return true;
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
  // Every difference but the motor's learning result, unless asked for.
  const std::vector<bool> chosen = pf::FirstChoice(rows, args.withLearning);
  const std::vector<pf::Difference> kept = pf::LearningKept(rows, chosen);
  const bool anyChosen = std::find(chosen.begin(), chosen.end(), true) != chosen.end();
  if (!kept.empty()) {
    program.Say(Fill(Tr("本机学习结果不写入: {1} (写入它们用 --with-learning)"), {LearningNames(kept)}));
  }
  if (plan.Next() == pf::Due::Same || args.dryRun || !anyChosen) {
    if (plan.Next() == pf::Due::Same) program.Say(Tr(pf::SameText));
    if (plan.Next() != pf::Due::Same && !anyChosen) program.Say(Tr("除本机学习结果外与文件相同, 无需写入"));
    const pf::BlockWords words = pf::ChosenWords(plan.Device().blocks, plan.Compared().file, rows, chosen);
    plan.Choose(chosen);
    // What a write would be asked.
    if (plan.Next() == pf::Due::Answer) program.Say(plan.Pending().text);
    if (program.options.json) {
      json list = json::array();
      for (const pf::Difference& row : rows) list.push_back(DifferenceJson(row));
      // A write would ask what the dry run leaves unanswered.
      program.PrintJson({{"written", json::array()}, {"toWrite", KeysJson(pf::WriteOrder(words))},
                         {"differences", list}, {"verified", !anyChosen}, {"mismatches", json::array()},
                         {"unanswered", QuestionJson(plan)}, {"learningKept", LearningKeys(kept)}});
    } else if (!rows.empty() && args.dryRun) {
      compared.comparison = plan.Compared();
      PrintDifferences(program, compared);
      if (anyChosen) program.Print(Fill(Tr("将写入: {1}"), {pf::BlockKeys(pf::WriteOrder(words))}) + "\n");
    }
    return Done;
  }
  plan.Choose(chosen);
  if (!Answered(program, args, plan)) return LeftUnanswered(program, plan, {{"learningKept", LearningKeys(kept)}});
  // Nothing is written without its backup, of a read taken now, unless the
  // command line says so.
  if (args.noBackup) {
    program.Say(Tr("未备份 (--no-backup)"));
    plan.SkipBackup();
  } else {
    pf::BackupTaken backup = pf::TakeBackup(session.Link(), session.Address(), HeaderOf(session), Interruptible());
    if (backup.read.cancelled) return Failed(program, backup.read);
    plan.BackedUp(std::move(backup));
    if (!plan.BackupPath().empty()) program.Say(pf::BackedUpText(plan.BackupPath()));
    if (!Answered(program, args, plan)) return LeftUnanswered(program, plan, {{"backup", nullptr}, {"learningKept", LearningKeys(kept)}});
  }
  const json backupPath = plan.BackupPath().empty() ? json() : json(plan.BackupPath());
  return Report(program,
                pf::WriteAndCheck(session.Link(), session.Address(), plan.Words(), plan.LearningChosen(),
                                  Interruptible()),
                {{"backup", backupPath}, {"unanswered", nullptr}, {"learningKept", LearningKeys(kept)}});
}

}  // namespace

void AddParameterCommands(CLI::App& app, Program& program) {
  auto args = std::make_shared<Arguments>();
  const std::vector<std::string> keys = BlockKeyList();
  std::vector<std::string> keysOrAll = keys;
  keysOrAll.emplace_back("all");
  // Each runs for every address of --address in turn.
  const auto runs = [&program, args](int (*command)(Program&, const Arguments&)) {
    return [&program, args, command] {
      program.run = [args, command](Program& p) {
        return p.ForEachDriver([&args, command](Program& each) { return command(each, *args); });
      };
    };
  };

  CLI::App* read = app.add_subcommand("read", Tr("读取参数块的字段 (ramp motor system pid reciprocate preset-speed)"));
  read->add_option("BLOCK", args->blocks, Tr("参数块, 或 all"))->required()->check(OneOf(keysOrAll));
  read->callback(runs(Read));

  CLI::App* write = app.add_subcommand(
      "write", Tr("读取参数块, 按页面的输入规则修改字段 (按 key 或名称), 写入, 再读回比较"));
  write->add_option("BLOCK", args->block, Tr("参数块"))->required()->check(OneOf(keys));
  write->add_option("KEY=TEXT", args->assignments, Tr("字段和它们的文字"))
      ->required()
      ->check(Check([](const std::string& text) {
        return text.find('=') == std::string::npos || text[0] == '='
                   ? Fill(Tr("{1} 不是 KEY=TEXT"), {text.substr(0, 40)})
                   : std::string();
      }));
  write->add_flag("--with-learning", args->withLearning,
                  Tr("允许写入本机学习结果 (电机学习状态和电机相序数据)"));
  write->callback(runs(Write));

  CLI::App* backup = app.add_subcommand(
      "backup", Tr("把全部参数块写入一个参数文件 ('-': 标准输出); 多个地址时写入文件夹 FILE, 每个驱动器一个文件"));
  backup->add_option("FILE", args->file, Tr("要写入的文件, 或多个地址时的文件夹"))->required();
  backup->callback([&program, args] {
    program.run = [args](Program& p) {
      if (p.SeveralDrivers()) {
        if (const int status = BackupFolder(p, *args); status != Done) return status;
      }
      return p.ForEachDriver([&args](Program& each) { return Backup(each, *args); });
    };
  });

  CLI::App* diff = app.add_subcommand("diff", Tr("设备与文件不同的字段"));
  diff->add_option("FILE", args->file, Tr("参数文件 ('-': 标准输入)"))->required();
  diff->callback(runs(Diff));

  CLI::App* restore = app.add_subcommand("restore", Tr("写入不同的参数块, 逐块读回比较"));
  restore->add_option("FILE", args->file, Tr("参数文件 ('-': 标准输入)"))->required();
  restore->add_option("--only", args->only, Tr("只写这些参数块 (用逗号分隔)"))
      ->type_name("BLOCKS")
      ->delimiter(',')
      ->check(OneOf(keys));
  restore->add_flag("--dry-run", args->dryRun, Tr("显示将写入的内容, 不写入"));
  restore->add_flag("--force", args->force,
                    Tr("对恢复的每个问题回答“是” (另一型号保存的文件、驱动器波特率或校验方式的改变、"
                       "未能备份); 没有它时这样的问题不写入任何内容, 退出状态为 8"));
  restore->add_flag("--no-backup", args->noBackup, Tr("写入前不把设备存入备份"));
  restore->add_flag("--with-learning", args->withLearning,
                    Tr("也写入文件中的本机学习结果 (电机学习状态和电机相序数据); 没有它时设备保留自己的"));
  restore->callback(runs(Restore));
}

}  // namespace cli
