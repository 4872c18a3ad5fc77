// Closing the main window, the tray icon and hiding on minimize.
#pragma once

bool MainWindow_OnCanClose();
void MainWindow_OnTrayEvent(int action);
void MainWindow_OnMoved();
void MainWindow_OnDestroying();

void BindExitHandlers();
