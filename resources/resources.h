// Built-in data of both programs: window definitions, pictures, the skin block and the empty
// library database template.
#pragma once

#include "runtime/text.h"

// Registers the definitions of all seven windows with the window run-time.
void RegisterAllWindowDefinitions();

const Bytes& TrayIconImage();          // icon file bytes
const Bytes& SearchButtonImage();      // picture of the search button
const Bytes& SkinImage();              // the skin block handed to SkinH_AttachRes
const Bytes& EmptyDatabaseTemplate();  // an empty database file of our engine, no tables

// The skin engine's entry: takes the block, its length, an empty text and three zeros.
// Checks the block and keeps it for the backend; the result is not used by the programs.
int SkinH_AttachRes(const unsigned char* block, int length, const char* password, int a, int b, int c);
