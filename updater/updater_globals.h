// The updater's global variables, made before its window loads and released at program end.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "runtime/download.h"
#include "runtime/text.h"

// "zip file updated.zip" or "exe program updates.exe" once the start-up has chosen.
extern Text UpdateFileName;
// The download task as the start-up fills it; the component copies it when it starts.
extern TaskParam UpdateTask;
extern std::unique_ptr<Download> UpdateDownload;
// The total size the size event stores (task thread) and the timer reads (GUI thread).
extern std::atomic<std::int32_t> DownloadTotalSize;

// The task's defaults; an empty file name; a download object without a task.
void InitializeUpdaterGlobals();
// The exit routine: frees the name and the task, stops a running download, frees the object.
void ReleaseUpdaterGlobals();
