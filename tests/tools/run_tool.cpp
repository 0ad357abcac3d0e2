#include "run_tool.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace pelix::tool::test {

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace

Sandbox::Sandbox() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/pelix-tool-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_root = std::string(buffer.data()) + "/";
  fs::create_directories(Tmp());
  fs::create_directories(Registry());
}

Sandbox::~Sandbox() {
  std::error_code error;
  fs::remove_all(m_root, error);
}

RunResult Sandbox::Run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env) const {
  const std::string outPath = m_root + ".stdout";
  const std::string errPath = m_root + ".stderr";
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    setenv("TMPDIR", Tmp().c_str(), 1);
    setenv("PELIX_REGISTRY_DIR", Registry().c_str(), 1);
    setenv("TZ", "UTC", 1);
    unsetenv("PELIX_DISK_SIZE");
    unsetenv("PELIX_DATA_DIR");
    for (const auto& [name, value] : env) {
      if (value.empty()) {
        unsetenv(name.c_str());
      } else {
        setenv(name.c_str(), value.c_str(), 1);
      }
    }
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<std::string> storage;
    storage.push_back(PELIX_TOOL_PATH);
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : storage) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  result.out = Slurp(outPath);
  result.err = Slurp(errPath);
  fs::remove(outPath);
  fs::remove(errPath);
  // In a sanitizer build a finding ends the tool with an exit code that a
  // test may expect for other reasons: look for the report itself.
  if (result.err.find("Sanitizer") != std::string::npos || result.err.find("runtime error:") != std::string::npos) {
    ADD_FAILURE() << "sanitizer report from pelix:\n" << result.err;
  }
  return result;
}

std::string Sandbox::Write(const std::string& relative, const std::string& content) const {
  const fs::path path = fs::path(m_root) / relative;
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << content;
  return path.string();
}

std::string Sandbox::Read(const std::string& relative) const { return Slurp(m_root + relative); }

bool Sandbox::Exists(const std::string& relative) const { return fs::exists(m_root + relative); }

std::vector<std::string> Sandbox::List(const std::string& relative) const {
  std::vector<std::string> out;
  const fs::path base = fs::path(m_root) / relative;
  std::error_code error;
  if (!fs::exists(base, error)) return out;
  for (const auto& entry : fs::recursive_directory_iterator(base)) {
    out.push_back(fs::relative(entry.path(), base).string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string AppContent() {
  std::string content;
  for (int i = 0; i < 1000; ++i) content.push_back(static_cast<char>('a' + i % 26));
  return content;
}

std::string BootContent() {
  // Revision at positions 3 to 7 of the first 12 bytes; the software name
  // after the package description's "FP=".
  std::string content = "BOOR1A01HDR {FP=QTV1234567_R1A01;REV=R1A;}";
  while (content.size() < 2000) content.push_back(static_cast<char>('0' + content.size() % 10));
  return content;
}

void WritePackage(const Sandbox& box, const std::string& folder, const std::string& infoName) {
  const std::string body =
      "# test package\n"
      "{FP=PKGTEST;REV=R1A;\n"
      "  {LF=LOADF001;SIZE=3000;\n"
      "    {F=APPL1;SIZE=1000;DEST=H40,J40;}\n"
      "    {F=BOOT1;SIZE=2000;DEST=$BOOTZ;BOOT=H40;}\n"
      "  }\n"
      "}\n"
      "{SYMB=DEST;BOOTZ=H40,H50;}\n";
  box.Write(folder + "/" + infoName, "FILEINFO0001" + body + "END.");
  box.Write(folder + "/LOADF001", "LOADF001HDR." + AppContent() + BootContent());
}

}  // namespace pelix::tool::test
