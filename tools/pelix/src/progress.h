// The progress bar of a flash card copy. The library reports progress through
// a plain function pointer taking a percentage, so the bar keeps its state in
// one file-local place: Begin, any number of Report calls (the callback), End.
#pragma once

#include <cstdio>
#include <string>

namespace pelix::tool {

// "512 B", "1.5 KiB", "12.0 MiB", "1.2 GiB".
std::string FormatBytes(unsigned long long bytes);
// "0:07", "12:34", "1:02:03"; "--:--" for a negative or unknown time.
std::string FormatDuration(double seconds);
// One line of the terminal bar for a terminal `columns` wide, without line
// end: the bar, the percentage, bytes done of the total, the rate and the
// time left. The line is at most columns - 1 characters (it never wraps);
// when it does not fit, the time left, the rate and the bytes are left out in
// that order, then the bar shrinks. Percentages outside 0..100 are clamped.
std::string FormatProgressLine(int percent, unsigned long long total, double elapsedSeconds, int columns);
// The width of the terminal on `fd`: asked of the terminal, else $COLUMNS,
// else 80.
int TerminalColumns(int fd);

// Starts a bar for `totalBytes` on `out`. On a terminal the bar redraws one
// line (erasing the rest of it), fitted to the terminal's width, which is
// asked again after a resize (SIGWINCH); otherwise each new percentage is a
// plain "progress: N%" line.
void ProgressBegin(unsigned long long totalBytes, bool terminal, std::FILE* out);
// The callback handed to the library.
void ProgressReport(int percent);
// Ends the bar (a line end after a terminal bar). Returns the last percentage
// reported, or -1 when none was.
int ProgressEnd();

}  // namespace pelix::tool
