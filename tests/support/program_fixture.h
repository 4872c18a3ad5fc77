// A snippet program under test: a program folder of its own, a separate temporary folder
// ($TMPDIR), the headless backend, the real database engine and real files.
#pragma once

#include <gtest/gtest.h>

#include "runtime/text.h"

class ProgramFixture : public ::testing::Test {
 protected:
  // Makes the folders, sets TMPDIR and the run directory, installs the headless backend,
  // registers the window definitions and binds the program's handlers. Starts nothing.
  void SetUp() override;
  // Waits for the workers, closes the library database, uninstalls the backend, sets TMPDIR
  // back and removes both folders.
  void TearDown() override;

  // Runs the program's start-up (globals, exit routine, main window with its created handler)
  // and waits until the workers it started are done. False when the main window did not load.
  bool StartProgram();

  // Program folder and temporary folder, GBK, without trailing separator.
  Text programFolder;
  Text tempFolder;
  // programFolder + the relative path (which starts with "\" or "/").
  Text InProgram(const Text& relative) const;
};
