#include "run_tool.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
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

// In the child: the environment, the working folder and the streams, then pelix.
[[noreturn]] void Exec(const Sandbox& box, const Invocation& call, bool terminal) {
  setenv("TMPDIR", (box.Root() + "tmp").c_str(), 1);
  setenv("PELIX_REGISTRY_DIR", (box.Root() + "registry").c_str(), 1);
  setenv("TZ", "UTC", 1);
  const std::string tool = PELIX_TOOL_PATH;
  setenv("PATH", (tool.substr(0, tool.rfind('/')) + ":" + std::getenv("PATH")).c_str(), 1);
  for (const char* name : {"PELIX_DISK_SIZE", "PELIX_DATA_DIR", "COLUMNS"}) unsetenv(name);
  for (const auto& [name, value] : call.env) setenv(name.c_str(), value.c_str(), 1);
  if (chdir(box.Root().c_str()) != 0) _exit(127);
  const int in = open((box.Root() + ".stdin").c_str(), O_RDONLY);
  if (in < 0 || dup2(in, 0) < 0) _exit(127);
  if (!terminal) {
    int out = open((box.Root() + ".stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (call.stdoutTo == "/dev/full") out = open("/dev/full", O_WRONLY);
    if (call.stdoutTo == "broken-pipe") {
      int ends[2];
      if (pipe(ends) != 0) _exit(127);
      close(ends[0]);
      out = ends[1];
      signal(SIGPIPE, SIG_IGN);
    }
    const int err = open((box.Root() + ".stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
    if (call.stdoutTo == "closed") close(1);
  }
  std::vector<std::string> words = call.args;
  if (call.shell) {
    words = {"/bin/sh", "-c", call.args.at(0)};
  } else {
    words.insert(words.begin(), tool);
  }
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

}  // namespace

Sandbox::Sandbox() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/pelix-tool-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_root = pattern + "/";
  fs::create_directories(m_root + "tmp");
  fs::create_directories(m_root + "registry");
}

Sandbox::~Sandbox() {
  std::error_code error;
  fs::remove_all(m_root, error);
}

RunResult Sandbox::Run(const Invocation& call) const {
  Write(".stdin", call.input);
  RunResult result;
  int master = -1;
  pid_t child = -1;
  if (call.terminalColumns > 0) {
    winsize size{};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(call.terminalColumns);
    child = forkpty(&master, nullptr, nullptr, &size);
  } else {
    child = fork();
  }
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) Exec(*this, call, call.terminalColumns > 0);
  char buffer[4096];
  for (ssize_t got = 0; master >= 0 && (got = read(master, buffer, sizeof buffer)) > 0;) result.out.append(buffer, got);
  if (master >= 0) close(master);
  int status = 0;
  waitpid(child, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  if (master < 0) {
    result.out = Slurp(m_root + ".stdout");
    result.err = Slurp(m_root + ".stderr");
  }
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
  std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

std::vector<std::string> Sandbox::List(const std::string& relative) const {
  std::vector<std::string> out;
  std::error_code error;
  for (fs::recursive_directory_iterator it(m_root + relative, error), end; !error && it != end; it.increment(error)) {
    out.push_back(fs::relative(it->path(), m_root + relative).string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

void WritePackage(const Sandbox& box, const std::string& folder) {
  const std::string body =
      "{FP=PKGTEST;REV=R1A;\n"
      "  {LF=LOADF001;SIZE=3000;\n"
      "    {F=APPL1;SIZE=1000;DEST=H40,J40;}\n"
      "    {F=BOOT1;SIZE=2000;DEST=H40,H50;BOOT=H40;}\n"
      "  }\n"
      "}\n";
  box.Write(folder + "/KMA0001", "FILEINFO0001" + body + "END.");
  std::string boot = "BOOR1A01HDR {FP=QTV1234567_R1A01;REV=R1A;}";
  boot.resize(2000, '0');
  box.Write(folder + "/LOADF001", "LOADF001HDR." + std::string(1000, 'a') + boot);
}

}  // namespace pelix::tool::test
