#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace pelix::tool {

namespace {

// The state of the running bar (the callback has no context argument).
struct BarState {
  bool active = false;
  bool terminal = false;
  std::FILE* out = nullptr;
  unsigned long long total = 0;
  int last = -1;
  int columns = 80;
  std::chrono::steady_clock::time_point start;
  struct sigaction oldResize {};
};

volatile std::sig_atomic_t g_resized = 0;

void OnResize(int /*signal*/) { g_resized = 1; }

BarState& State() {
  static BarState state;
  return state;
}

}  // namespace

std::string FormatBytes(unsigned long long bytes) {
  static const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + " B";
  double value = static_cast<double>(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 5) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

std::string FormatDuration(double seconds) {
  if (!(seconds >= 0.0) || seconds > 359999.0) return "--:--";
  const long whole = static_cast<long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, (whole / 60) % 60, whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  }
  return text;
}

std::string FormatProgressLine(int percent, unsigned long long total, double elapsedSeconds, int columns) {
  constexpr int kMinBar = 10;
  constexpr int kMaxBar = 40;
  percent = std::clamp(percent, 0, 100);
  const int room = std::max(columns - 1, 1);
  char pct[8];
  std::snprintf(pct, sizeof pct, "%3d%%", percent);
  // Whole percentages of the total: the library reports no byte counts.
  const unsigned long long done = total / 100 * static_cast<unsigned long long>(percent) +
                                  total % 100 * static_cast<unsigned long long>(percent) / 100;
  std::vector<std::string> extras = {FormatBytes(done) + " / " + FormatBytes(total), "--/s", "--:-- left"};
  if (elapsedSeconds > 0.0 && done > 0) {
    const double rate = static_cast<double>(done) / elapsedSeconds;
    extras[1] = FormatBytes(static_cast<unsigned long long>(rate)) + "/s";
    extras[2] = FormatDuration(static_cast<double>(total - done) / rate) + " left";
  }
  for (std::size_t keep = extras.size() + 1; keep-- > 0;) {
    std::string tail = pct;
    for (std::size_t i = 0; i < keep; ++i) tail += "  " + extras[i];
    const int bar = std::min(kMaxBar, room - static_cast<int>(tail.size()) - 3);
    if (bar >= kMinBar || (keep == 0 && bar >= 1)) {
      const int filled = percent * bar / 100;
      return "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(bar - filled), '.') +
             "] " + tail;
    }
  }
  return std::string(pct).substr(0, static_cast<size_t>(room));
}

int TerminalColumns(int fd) {
  struct winsize size {};
  if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (const char* env = std::getenv("COLUMNS"); env != nullptr) {
    const int columns = std::atoi(env);
    if (columns > 0) return columns;
  }
  return 80;
}

void ProgressBegin(unsigned long long totalBytes, bool terminal, std::FILE* out) {
  BarState& state = State();
  state = BarState();
  state.active = true;
  state.terminal = terminal;
  state.out = out != nullptr ? out : stderr;
  state.total = totalBytes;
  state.start = std::chrono::steady_clock::now();
  if (terminal) {
    state.columns = TerminalColumns(fileno(state.out));
    g_resized = 0;
    struct sigaction resize {};
    resize.sa_handler = OnResize;
    sigemptyset(&resize.sa_mask);
    resize.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &resize, &state.oldResize);
  }
}

void ProgressReport(int percent) {
  BarState& state = State();
  if (!state.active) return;
  percent = std::clamp(percent, 0, 100);
  const bool resized = state.terminal && g_resized != 0;
  if (percent == state.last && !resized) return;
  state.last = percent;
  if (state.terminal) {
    if (resized) {
      g_resized = 0;
      state.columns = TerminalColumns(fileno(state.out));
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - state.start).count();
    // Back to the line's start, the line, then erase what a longer one left.
    std::fprintf(state.out, "\r%s\x1b[K", FormatProgressLine(percent, state.total, elapsed, state.columns).c_str());
  } else {
    std::fprintf(state.out, "progress: %d%%\n", percent);
  }
  std::fflush(state.out);
}

int ProgressEnd() {
  BarState& state = State();
  const int last = state.last;
  if (state.active && state.terminal) {
    sigaction(SIGWINCH, &state.oldResize, nullptr);
    if (last >= 0) {
      std::fputc('\n', state.out);
      std::fflush(state.out);
    }
  }
  state = BarState();
  return last;
}

}  // namespace pelix::tool
