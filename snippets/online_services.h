// The online-user count, the bulletin window and the feedback window: the services the program
// reaches through its share links.
#pragma once

enum OnlineCountKind : int {
  OnlineCountMaximum = 1,
  OnlineCountPeriodic = 2,
  OnlineCountStart = 3,
  OnlineCountExit = 4,
};

// One report of kind; when both replies have a second "</br>" piece, status bar part 2 shows
// the highest and the current count. Silent on every failure; safe on several threads at once.
void ReportOnlineCount(int kind);
void ReportOnlineCountThread(int kind);
void MainWindow_OnlineCountTimer_OnTick();

void MainWindow_NoticeMenuItem_OnSelected();
void NoticeWindow_OnCreated();
// Reads the bulletin into NoticeBox, unless the window it was read for has closed meanwhile.
void LoadNotice(int opening);
void LoadNoticeThread(int opening);

void MainWindow_FeedbackMenuItem_OnSelected();
void FeedbackWindow_SendButton_OnClick();

void BindOnlineServiceHandlers();
