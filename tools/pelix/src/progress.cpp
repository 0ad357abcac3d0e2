#include "progress.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace pelix::tool {

namespace {

// The state of the running bar (the callback has no context argument).
struct BarState {
  bool active = false;
  bool terminal = false;
  std::FILE* out = nullptr;
  unsigned long long total = 0;
  int last = -1;
  std::chrono::steady_clock::time_point start;
};

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

std::string FormatProgressBar(int percent, unsigned long long total, double elapsedSeconds, int width) {
  percent = std::clamp(percent, 0, 100);
  width = std::max(width, 1);
  const int filled = percent * width / 100;
  std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(width - filled), '.') + "] ";
  char pct[8];
  std::snprintf(pct, sizeof pct, "%3d%%", percent);
  line += pct;
  // Whole percentages of the total: the library reports no byte counts.
  const unsigned long long done = total / 100 * static_cast<unsigned long long>(percent) +
                                  total % 100 * static_cast<unsigned long long>(percent) / 100;
  line += "  " + FormatBytes(done) + " / " + FormatBytes(total);
  if (elapsedSeconds > 0.0 && done > 0) {
    const double rate = static_cast<double>(done) / elapsedSeconds;
    line += "  " + FormatBytes(static_cast<unsigned long long>(rate)) + "/s";
    line += "  " + FormatDuration(static_cast<double>(total - done) / rate) + " left";
  } else {
    line += "  --/s  --:-- left";
  }
  return line;
}

void ProgressBegin(unsigned long long totalBytes, bool terminal, std::FILE* out) {
  BarState& state = State();
  state = BarState();
  state.active = true;
  state.terminal = terminal;
  state.out = out != nullptr ? out : stderr;
  state.total = totalBytes;
  state.start = std::chrono::steady_clock::now();
}

void ProgressReport(int percent) {
  BarState& state = State();
  if (!state.active) return;
  percent = std::clamp(percent, 0, 100);
  if (percent == state.last) return;
  state.last = percent;
  if (state.terminal) {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - state.start).count();
    std::fprintf(state.out, "\r%s", FormatProgressBar(percent, state.total, elapsed, 30).c_str());
  } else {
    std::fprintf(state.out, "progress: %d%%\n", percent);
  }
  std::fflush(state.out);
}

int ProgressEnd() {
  BarState& state = State();
  const int last = state.last;
  if (state.active && state.terminal && last >= 0) {
    std::fputc('\n', state.out);
    std::fflush(state.out);
  }
  state = BarState();
  return last;
}

}  // namespace pelix::tool
