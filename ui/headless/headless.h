// The headless backend: no display, a virtual clock. Tests install it, inject the user's
// actions and script the answers to message boxes, input boxes, file dialogs and pop-up menus;
// everything shown is recorded for them to read back.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/backend.h"

namespace ui::headless {

struct ShownMessage {
  Text text;
  int flags;
  Text title;
};

struct ShownInputBox {
  Text prompt;
  Text title;
  Text initial;
};

// Installs a fresh headless backend on the calling thread (the GUI thread from then on) and
// forgets every loaded window, binding, script and record of an earlier one.
void Install();
// Ends the headless session: waits for the workers, destroys what is left.
void Uninstall();

// --- scripts: answers are taken in order; with none left a box answers OK / No, an input box
// and a dialog are cancelled and a pop-up menu chooses nothing ---
void AnswerMessageBox(int button);               // kIdOk, kIdYes, kIdNo
void AnswerInputBox(std::optional<Text> text);   // nullopt = cancel
void AnswerFileDialog(std::optional<Text> path); // nullopt = cancel
void ChoosePopupItem(std::string item);          // "" = choose nothing

// --- records ---
const std::vector<ShownMessage>& MessagesShown();
const std::vector<ShownInputBox>& InputBoxesShown();
const std::vector<std::string>& PopupMenusShown();
const std::vector<Text>& ShellOpened();
const std::vector<std::string>& FileDialogsShown();       // the dialogs' control names
const std::vector<std::string>& WindowsBroughtToFront();  // by a load of an open window
void ClearRecords();
// Exit code once EndProgram ran, else nullopt.
std::optional<int> EndedWithCode();

// --- the user's actions (run on the GUI thread, raise the events the real window would) ---
void Click(ui::ControlRef control);                  // also toggles a check box
void TypeText(ui::ControlRef control, const Text& text);  // replaces the content, honours maxLength
void SelectTreeItem(ui::ControlRef tree, int index);
void EditTreeLabel(ui::ControlRef tree, int index, std::optional<Text> text);  // nullopt = cancelled
void RightButtonUp(ui::ControlRef control);
void FocusListRow(ui::ControlRef list, int row);     // -1 = none
void Scroll(ui::ControlRef scrollBar, int position); // clamped to 0..maximum
void ChooseMenuItem(ui::WindowRef window, const char* item);
void AskToClose(ui::WindowRef window);
void TrayAction(ui::WindowRef window, int action);
void Minimize(ui::WindowRef window);

// --- time and idling ---
std::uint64_t Now();
// Advances the virtual clock by ms, firing due timers and handling posted tasks on the way.
void AdvanceClock(int ms);
// Handles posted tasks until none is waiting and no worker started by StartThread runs. Workers
// waiting on the clock (DelayPumping) get it advanced for them. False when workers still ran
// after a generous real-time limit.
bool WaitIdle();

}  // namespace ui::headless
