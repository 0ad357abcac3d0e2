// pelix settings get|set|delete.
#include <iostream>
#include <memory>

#include "action.h"
#include "settings_work.h"
#include "tool.h"

namespace pelix::tool {

namespace {

struct SettingArgs {
  SettingRef ref;
  std::string value;
  bool dword = false;
  bool create = false;
};

void AddKeyOptions(CLI::App* cmd, SettingArgs& args) {
  cmd->add_option("KEY", args.ref.key, "Registry key below HKEY_CURRENT_USER, parts separated by '\\'")->required();
  cmd->add_option("NAME", args.ref.name, "Value name")->required();
  cmd->add_option("--base", args.ref.base, "Base path: the key is taken below it (as the terminal's SetRegPath)");
}

int Get(const SettingArgs& args) {
  std::string value;
  if (!GetSetting(args.ref, args.dword, value)) {
    throw OperationFailed("no value " + args.ref.name + " under " + args.ref.key);
  }
  if (GlobalOptions().json) {
    nlohmann::json document = {{"key", JsonText(args.ref.key)},
                               {"name", JsonText(args.ref.name)},
                               {"base", JsonText(args.ref.base)},
                               {"type", args.dword ? "dword" : "string"}};
    if (args.dword) {
      document["value"] = std::stoul(value);
    } else {
      document["value"] = JsonText(value);
    }
    PrintJson(document);
  } else {
    std::cout << Printable(value) << "\n";
  }
  return kExitOk;
}

// What set and delete print with --json: the value they acted on.
void PrintDone(const SettingArgs& args, const char* done) {
  if (!GlobalOptions().json) return;
  PrintJson({{"key", JsonText(args.ref.key)},
             {"name", JsonText(args.ref.name)},
             {"base", JsonText(args.ref.base)},
             {"done", done}});
}

int Set(const SettingArgs& args) {
  if (args.create && !UserKeyExists(args.ref)) CreateUserKey(args.ref);
  SetSetting(args.ref, args.value, args.dword);
  PrintDone(args, "set");
  return kExitOk;
}

int Delete(const SettingArgs& args) {
  DeleteSetting(args.ref);
  PrintDone(args, "deleted");
  return kExitOk;
}

}  // namespace

void AddSettingsCommands(CLI::App& app) {
  CLI::App* group = app.add_subcommand(
      "settings", "Read and write the terminal's settings (the hives live in $PELIX_REGISTRY_DIR when it is set)");
  group->require_subcommand(1);
  group->footer("Example:\n  pelix settings get --base 'Software\\Pelix' Terminal Language");

  auto get = std::make_shared<SettingArgs>();
  CLI::App* getCmd = group->add_subcommand("get", "Print a value (exit 1 when it is not there)");
  AddKeyOptions(getCmd, *get);
  getCmd->add_flag("--dword", get->dword, "Read the value as a 32-bit number");
  getCmd->footer("Example:\n  pelix settings get --base 'Software\\Pelix' Terminal Language");
  getCmd->callback([get] { SetAction([get] { return Get(*get); }); });

  auto set = std::make_shared<SettingArgs>();
  CLI::App* setCmd = group->add_subcommand("set", "Write a value below an existing key");
  AddKeyOptions(setCmd, *set);
  setCmd->add_option("VALUE", set->value, "The value: text, or a number with --dword")->required();
  setCmd->add_flag("--dword", set->dword, "Write the value as a 32-bit number");
  setCmd->add_flag("--create", set->create, "Make the key first when the user has none");
  setCmd->footer(
      "Values are written only below a key that the user has or that the machine's\n"
      "template provides; --create makes the key. The value is read back: when it is\n"
      "not as written, the registry's reason is given and the exit code is 1.\n\n"
      "Example:\n  pelix settings set --create --base 'Software\\Pelix' Terminal Language en");
  setCmd->callback([set] { SetAction([set] { return Set(*set); }); });

  auto del = std::make_shared<SettingArgs>();
  CLI::App* delCmd = group->add_subcommand("delete", "Delete a value (nothing happens when it is not there)");
  AddKeyOptions(delCmd, *del);
  delCmd->footer("Example:\n  pelix settings delete --base 'Software\\Pelix' Terminal Language");
  delCmd->callback([del] { SetAction([del] { return Delete(*del); }); });
}

}  // namespace pelix::tool
