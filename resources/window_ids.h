// Identities of the windows of both programs and of their controls, menu items and pop-up
// menus, as handlers name them: MainWindow::DirectoryTree, ExportWindow::PathBox, ...
#pragma once

#include "ui/ui.h"

#define SNIPDOCK_CONTROL(window, control) inline constexpr ui::ControlRef control{Self, #control}

namespace MainWindow {
inline constexpr ui::WindowRef Self{"MainWindow"};
SNIPDOCK_CONTROL(MainWindow, DirectoryTree);
SNIPDOCK_CONTROL(MainWindow, PreviewTabs);
SNIPDOCK_CONTROL(MainWindow, EntryListView);
SNIPDOCK_CONTROL(MainWindow, UsageTextBox);
SNIPDOCK_CONTROL(MainWindow, PreviewFrame);
SNIPDOCK_CONTROL(MainWindow, PreviewPicture);
SNIPDOCK_CONTROL(MainWindow, PreviewHScrollBar);
SNIPDOCK_CONTROL(MainWindow, PreviewVScrollBar);
SNIPDOCK_CONTROL(MainWindow, SearchBox);
SNIPDOCK_CONTROL(MainWindow, SearchNameCheck);
SNIPDOCK_CONTROL(MainWindow, SearchDescriptionCheck);
SNIPDOCK_CONTROL(MainWindow, SearchUsageCheck);
SNIPDOCK_CONTROL(MainWindow, SearchButton);
SNIPDOCK_CONTROL(MainWindow, MainStatusBar);
SNIPDOCK_CONTROL(MainWindow, SaveAsDialog);
SNIPDOCK_CONTROL(MainWindow, OnlineCountTimer);
// menu bar
SNIPDOCK_CONTROL(MainWindow, MainMenu);
SNIPDOCK_CONTROL(MainWindow, RefreshTreeMenuItem);
SNIPDOCK_CONTROL(MainWindow, SaveTreeMenuItem);
SNIPDOCK_CONTROL(MainWindow, ExportMenuItem);
SNIPDOCK_CONTROL(MainWindow, ImportMenuItem);
SNIPDOCK_CONTROL(MainWindow, ProgramMenu);
SNIPDOCK_CONTROL(MainWindow, NoticeMenuItem);
SNIPDOCK_CONTROL(MainWindow, FeedbackMenuItem);
// pop-up menus and their items
SNIPDOCK_CONTROL(MainWindow, TreeMenu);
SNIPDOCK_CONTROL(MainWindow, AddRootMenuItem);
SNIPDOCK_CONTROL(MainWindow, DeleteDirectoryMenuItem);
SNIPDOCK_CONTROL(MainWindow, InsertChildMenuItem);
SNIPDOCK_CONTROL(MainWindow, ListMenu);
SNIPDOCK_CONTROL(MainWindow, AddEntryMenuItem);
SNIPDOCK_CONTROL(MainWindow, DeleteEntryMenuItem);
SNIPDOCK_CONTROL(MainWindow, ModifyEntryMenuItem);
SNIPDOCK_CONTROL(MainWindow, OpenExampleMenuItem);
SNIPDOCK_CONTROL(MainWindow, SaveExampleAsMenuItem);
SNIPDOCK_CONTROL(MainWindow, SavePictureAsMenuItem);
}  // namespace MainWindow

namespace AddWindow {
inline constexpr ui::WindowRef Self{"AddWindow"};
SNIPDOCK_CONTROL(AddWindow, NameBox);
SNIPDOCK_CONTROL(AddWindow, UsageBox);
SNIPDOCK_CONTROL(AddWindow, DescriptionBox);
SNIPDOCK_CONTROL(AddWindow, PictureBox);
SNIPDOCK_CONTROL(AddWindow, AddPictureButton);
SNIPDOCK_CONTROL(AddWindow, ClearPictureButton);
SNIPDOCK_CONTROL(AddWindow, PictureDialog);
SNIPDOCK_CONTROL(AddWindow, ExamplePathBox);
SNIPDOCK_CONTROL(AddWindow, AddExampleButton);
SNIPDOCK_CONTROL(AddWindow, ClearExampleButton);
SNIPDOCK_CONTROL(AddWindow, ExampleDialog);
SNIPDOCK_CONTROL(AddWindow, SaveButton);
}  // namespace AddWindow

namespace ExportWindow {
inline constexpr ui::WindowRef Self{"ExportWindow"};
SNIPDOCK_CONTROL(ExportWindow, PathBox);
SNIPDOCK_CONTROL(ExportWindow, SaveToButton);
SNIPDOCK_CONTROL(ExportWindow, PasswordBox);
SNIPDOCK_CONTROL(ExportWindow, SetPasswordButton);
SNIPDOCK_CONTROL(ExportWindow, ProgressBar);
SNIPDOCK_CONTROL(ExportWindow, StartButton);
SNIPDOCK_CONTROL(ExportWindow, StatusLabel);
SNIPDOCK_CONTROL(ExportWindow, FileDialog);
SNIPDOCK_CONTROL(ExportWindow, ZipObject);
}  // namespace ExportWindow

namespace ImportWindow {
inline constexpr ui::WindowRef Self{"ImportWindow"};
SNIPDOCK_CONTROL(ImportWindow, PathBox);
SNIPDOCK_CONTROL(ImportWindow, OpenButton);
SNIPDOCK_CONTROL(ImportWindow, PasswordBox);
SNIPDOCK_CONTROL(ImportWindow, ConfirmPasswordButton);
SNIPDOCK_CONTROL(ImportWindow, ProgressBar);
SNIPDOCK_CONTROL(ImportWindow, StartButton);
SNIPDOCK_CONTROL(ImportWindow, StatusLabel);
SNIPDOCK_CONTROL(ImportWindow, FileDialog);
SNIPDOCK_CONTROL(ImportWindow, ZipObject);
SNIPDOCK_CONTROL(ImportWindow, ImportDatabase);
SNIPDOCK_CONTROL(ImportWindow, ImportTree);
}  // namespace ImportWindow

namespace NoticeWindow {
inline constexpr ui::WindowRef Self{"NoticeWindow"};
SNIPDOCK_CONTROL(NoticeWindow, NoticeBox);
}  // namespace NoticeWindow

namespace FeedbackWindow {
inline constexpr ui::WindowRef Self{"FeedbackWindow"};
SNIPDOCK_CONTROL(FeedbackWindow, TitleBox);
SNIPDOCK_CONTROL(FeedbackWindow, ContentBox);
SNIPDOCK_CONTROL(FeedbackWindow, ContactBox);
SNIPDOCK_CONTROL(FeedbackWindow, SendButton);
}  // namespace FeedbackWindow

namespace UpdaterWindow {
inline constexpr ui::WindowRef Self{"UpdaterWindow"};
SNIPDOCK_CONTROL(UpdaterWindow, ProgressBar);
SNIPDOCK_CONTROL(UpdaterWindow, StatusLabel);
SNIPDOCK_CONTROL(UpdaterWindow, UpdateNotesBox);
SNIPDOCK_CONTROL(UpdaterWindow, PercentLabel);
SNIPDOCK_CONTROL(UpdaterWindow, ProgressTimer);
SNIPDOCK_CONTROL(UpdaterWindow, ZipObject);
}  // namespace UpdaterWindow

#undef SNIPDOCK_CONTROL
