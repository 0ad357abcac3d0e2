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
// One line of the terminal bar, without line end: bar of `width` cells, the
// percentage, bytes done of the total, the rate and the time left. Percentages
// outside 0..100 are clamped.
std::string FormatProgressBar(int percent, unsigned long long total, double elapsedSeconds, int width);

// Starts a bar for `totalBytes` on `out`. On a terminal the bar redraws one
// line; otherwise each new percentage is a plain "progress: N%" line.
void ProgressBegin(unsigned long long totalBytes, bool terminal, std::FILE* out);
// The callback handed to the library.
void ProgressReport(int percent);
// Ends the bar (a line end after a terminal bar). Returns the last percentage
// reported, or -1 when none was.
int ProgressEnd();

}  // namespace pelix::tool
