// pelix package info, pelix card load, pelix card info.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <filesystem>
#include <iostream>
#include <memory>

#include "action.h"
#include "package.h"
#include "progress.h"
#include "swload_commands.h"
#include "tool.h"

namespace fs = std::filesystem;

namespace pelix::tool {

namespace {

std::string KindList(const bool (&flags)[kZcuKindCount]) {
  std::string out;
  for (int kind = 0; kind < kZcuKindCount; ++kind) {
    if (!flags[kind]) continue;
    if (!out.empty()) out += ' ';
    out += ZcuKindName(kind);
  }
  return out.empty() ? "-" : out;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += ',';
    out += item;
  }
  return out.empty() ? "-" : out;
}

void PrintPackage(const PackageView& package, const std::string& source) {
  std::cout << "Package   " << Printable(package.name) << "\n"
            << "Revision  " << Printable(package.revision) << "\n"
            << "Source    " << Printable(source) << "\n\n";
  Table table({"LOAD FILE", "SUB-FILE", "SIZE", "DEST", "BOOT", "FILE FOR", "BOOT FOR"});
  for (const LoadFileView& file : package.loadFiles) {
    for (const SubFileView& sub : file.subFiles) {
      bool fileFor[kZcuKindCount] = {};
      bool bootFor[kZcuKindCount] = {};
      for (int kind = 0; kind < kZcuKindCount; ++kind) {
        fileFor[kind] = sub.destFor[kind] && !sub.bootFor[kind];
        bootFor[kind] = sub.destFor[kind] && sub.bootFor[kind];
      }
      table.AddRow({Printable(file.name), Printable(sub.name), std::to_string(sub.size), Printable(Joined(sub.dest)),
                    Printable(Joined(sub.boot)), KindList(fileFor), KindList(bootFor)});
    }
    if (file.subFiles.empty()) table.AddRow({Printable(file.name), "-", "0", "-", "-", "-", "-"});
  }
  std::cout << table.Render() << "\nBytes to copy:";
  for (int kind = 0; kind < kZcuKindCount; ++kind) {
    std::cout << ' ' << ZcuKindName(kind) << ' ' << package.BytesToCopy(kind);
  }
  std::cout << '\n';
}

}  // namespace

int PackageInfo(const std::string& path, LoadableZCU_Type kind) {
  PackageSource source(path, kind);
  const PackageView package = ReadPackage(source.Folder());
  if (GlobalOptions().json) {
    nlohmann::json document = PackageJson(package);
    document["source"] = JsonPath(path);
    document["archive"] = source.IsArchive();
    PrintJson(document);
  } else {
    PrintPackage(package, path + (source.IsArchive() ? " (archive)" : ""));
  }
  return kExitOk;
}

namespace {

// The card must be a folder: a path that is not there is bad usage.
std::string CardFolder(const std::string& cardPath) {
  struct stat info {};
  if (stat(cardPath.c_str(), &info) != 0) {
    throw UsageError("no card folder at " + cardPath + ": " + std::strerror(errno));
  }
  if (!S_ISDIR(info.st_mode)) throw UsageError(cardPath + " is not a folder: a card is given as its root folder");
  std::error_code error;
  return AsFolder(fs::absolute(cardPath, error).string());
}

// The bytes of the files a load replaces: those in GLOBAL/ and the two card
// files, which the copy removes or overwrites before it writes.
unsigned long long ReplacedBytes(const std::string& card) {
  unsigned long long bytes = 0;
  std::error_code error;
  for (const std::string& name : {std::string("ZCL"), std::string("ZCB")}) {
    if (fs::is_regular_file(card + name, error)) bytes += fs::file_size(card + name, error);
  }
  for (fs::directory_iterator it(card + "GLOBAL", error), end; !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error)) bytes += it->file_size(error);
  }
  return bytes;
}

// Refuses a load that cannot fit before the card is touched: the library
// would empty the card's GLOBAL folder first and only then find out.
void CheckSpace(const std::string& card, unsigned long long needed, LoadableZCU_Type kind) {
  unsigned long long reported = 0;
  const bool overridden = DiskSizeOverride(reported);
  const unsigned long long available = FreeBytes(card) + (overridden ? 0 : ReplacedBytes(card));
  if (needed <= available) return;
  throw OperationFailed("the card at " + card + " has room for " + std::to_string(available) +
                        " bytes, the package needs " + std::to_string(needed) + " for " + ZcuKindName(kind) + ": " +
                        std::to_string(needed - available) +
                        " bytes are missing; the card was not touched (--force loads anyway)");
}

}  // namespace

CardLoadResult LoadCard(const std::string& packagePath, const std::string& cardPath, LoadableZCU_Type kind,
                        bool showProgress, bool force) {
  const std::string card = CardFolder(cardPath);

  // The library's temporary copies (written for the verification) and any
  // unpacked archive live in a scratch folder that goes away afterwards.
  ScratchFolder scratch("load");
  ScopedTempDir tempDir(scratch.Path());
  PackageSource source(packagePath, kind);
  CardLoadResult outcome;
  const PackageView package = ReadPackage(source.Folder());
  outcome.packageName = package.name;
  outcome.revision = package.revision;
  const unsigned long long needed = package.BytesToCopy(kind);
  if (!force && needed > 0) CheckSpace(card, needed, kind);
  outcome.bytes = package.BytesWritten(kind);

  CTolva_SW_Handler& handler = source.Handler();
  // An unpacked archive has its package path set already: keep it.
  ServiceResult result = handler.Init(CString(source.Folder()), false, source.IsArchive());
  if (result == SR_OK) {
    if (showProgress) ProgressBegin(needed, isatty(STDERR_FILENO) == 1, stderr);
    result = handler.CopyFilesToFlashCard(CString(card), kind, showProgress ? &ProgressReport : nullptr);
    if (showProgress) outcome.lastPercent = ProgressEnd();
  }
  outcome.result = result;
  outcome.card = card;
  return outcome;
}

CardInfoResult ReadCard(const std::string& cardPath) {
  CardInfoResult info;
  info.card = CardFolder(cardPath);
  CTolva_SW_Handler handler;
  CString path(info.card);
  info.present = handler.IsFlashCardPresent(path) != 0;
  handler.Init(CString(info.card), true, false);
  info.verify = handler.VerifyTolva_SW_OnFlashCard();
  info.name = Str(handler.GetTolva_SW_Name_OnFlashCard());
  info.revision = Str(handler.GetTolva_SW_Rev_OnFlashCard());
  return info;
}

namespace {

int CardLoad(const std::string& packagePath, const std::string& cardPath, LoadableZCU_Type kind, bool force) {
  CardLoadResult outcome = LoadCard(packagePath, cardPath, kind, !GlobalOptions().quiet, force);
  if (outcome.result != SR_OK) {
    throw OperationFailed("loading " + packagePath + " onto " + cardPath + " for " + ZcuKindName(kind) + " failed",
                          ServiceResultName(outcome.result));
  }
  if (GlobalOptions().json) {
    PrintJson({{"result", ServiceResultName(outcome.result)},
               {"card", JsonPath(outcome.card)},
               {"kind", ZcuKindName(kind)},
               {"package", JsonText(outcome.packageName)},
               {"revision", JsonText(outcome.revision)},
               {"bytes", outcome.bytes}});
  } else {
    // Names from the package's files and the card's path, safe for a terminal.
    for (std::string* text : {&outcome.packageName, &outcome.revision, &outcome.card}) *text = Printable(*text);
    std::cout << "Loaded " << outcome.packageName << " " << outcome.revision << " for " << ZcuKindName(kind) << " onto "
              << outcome.card << " (" << outcome.bytes << " bytes written and verified)\n";
  }
  return kExitOk;
}

int CardInfo(const std::string& cardPath) {
  const CardInfoResult info = ReadCard(cardPath);
  if (!info.present) throw OperationFailed("no card at " + cardPath + ": the folder is empty");
  const bool software = info.verify == SR_OK;
  if (GlobalOptions().json) {
    PrintJson({{"card", JsonPath(info.card)},
               {"present", info.present},
               {"software", software},
               {"result", ServiceResultName(info.verify)},
               {"name", JsonText(info.name)},
               {"revision", JsonText(info.revision)}});
  } else {
    std::cout << "Card      " << Printable(info.card) << "\n"
              << "Present   yes\n"
              << "Software  " << (software ? "yes" : "none (no ZCL file)") << "\n"
              << "Name      " << Printable(info.name) << "\n"
              << "Revision  " << Printable(info.revision) << "\n";
  }
  return kExitOk;
}

}  // namespace

void AddPackageCommands(CLI::App& app) {
  CLI::App* group = app.add_subcommand("package", "Read a station software package");
  group->require_subcommand(1);
  group->footer("Example:\n  pelix package info data/package");

  struct InfoArgs {
    std::string path;
    std::string kind = "H40";
  };
  auto args = std::make_shared<InfoArgs>();
  CLI::App* info = group->add_subcommand(
      "info", "Show a package's name, revision, load files and sub-files, and which kinds each sub-file is for");
  info->add_option("PACKAGE", args->path, "Package folder, or a zip/tar/tgz archive (unpacked to a temporary place)")
      ->required();
  info->add_option("--kind", args->kind, "Kind whose sub-package an archive is unpacked for (ALL picks g7, others g5)")
      ->check(OneOf(ZcuKindNames()))
      ->capture_default_str();
  info->footer(
      "A sub-file is loaded as a file into GLOBAL/ for the kinds in FILE FOR, and into\n"
      "the boot files ZCL and ZCB for the kinds in BOOT FOR.\n\n"
      "Example:\n  pelix package info data/package\n  pelix --json package info pkg.tgz");
  info->callback([args] { SetAction([args] { return PackageInfo(args->path, ParseZcuKind(args->kind)); }); });
}

void AddCardCommands(CLI::App& app) {
  CLI::App* group = app.add_subcommand("card", "Load software onto a flash card, or read what a card carries");
  group->require_subcommand(1);
  group->footer("Examples:\n  pelix card load --kind H40 data/package /media/card\n  pelix card info /media/card");

  struct LoadArgs {
    std::string kind;
    std::string package;
    std::string card;
    bool force = false;
  };
  auto load = std::make_shared<LoadArgs>();
  CLI::App* loadCmd = group->add_subcommand(
      "load", "Copy (and unpack) a package and write its software for one kind of central unit to a card");
  loadCmd->add_option("--kind", load->kind, "H40, J40, H50, QMS, ALL, H30 or ALL_BUT_WB")
      ->check(OneOf(ZcuKindNames()))
      ->required();
  loadCmd->add_flag("--force", load->force, "Load even when the card seems to have too little room");
  loadCmd->add_option("PACKAGE", load->package, "Package folder, or a zip/tar/tgz archive")->required();
  loadCmd->add_option("CARD", load->card, "The card's root folder")->required();
  loadCmd->footer(
      "Progress goes to standard error: a bar on a terminal, 'progress: N%' lines otherwise\n"
      "(none with --quiet). Every file written is verified against a second copy.\n"
      "Before the card is touched, the bytes the package needs for the kind are compared\n"
      "with the card's free room (plus what the load replaces); a load that cannot fit\n"
      "is refused unless --force is given. PELIX_DISK_SIZE=BYTES sets the size the card\n"
      "reports (a testing aid).\n\n"
      "Example:\n  pelix card load --kind H40 data/package /media/card");
  loadCmd->callback([load] {
    SetAction([load] { return CardLoad(load->package, load->card, ParseZcuKind(load->kind), load->force); });
  });

  auto cardPath = std::make_shared<std::string>();
  CLI::App* infoCmd = group->add_subcommand("info", "Show whether a card is there and its software name and revision");
  infoCmd->add_option("CARD", *cardPath, "The card's root folder")->required();
  infoCmd->footer("Example:\n  pelix card info /media/card");
  infoCmd->callback([cardPath] { SetAction([cardPath] { return CardInfo(*cardPath); }); });
}

}  // namespace pelix::tool
