// What happens once the download runs: the component's events (size, finished, failed), the
// unpacking of a zip update or the run of a program update, and the one-second progress tick.
#pragma once

#include "runtime/text.h"

// The component's event routine, called on its task thread.
void HandleDownloadEvent(int code, int a, int b, int c, int task);
// ZipObject's extraction progress; acts at 100 only.
void UpdaterWindow_ZipObject_OnProgress(int percent);
// ProgressTimer's tick: percentage on the bar, percentage and speed on the label.
void UpdaterWindow_ProgressTimer_OnTick();
void BindDownloadEventHandlers();

// Rounds to one decimal, halves away from zero (digits other than 1 are not used).
double RoundTo(double value, int digits);
// The bar position for done of total bytes: truncated, 0 while the total is unknown (0).
int ProgressPosition(long long done, int total);
// The label: percentage, "%  ", speed in KB/S for bytes received within the last tick.
Text PercentText(int position, long long bytesInTick);
