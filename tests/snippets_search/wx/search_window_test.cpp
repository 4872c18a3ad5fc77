// A search in the real window: the keyword typed into the real edit box, a field checked and the
// button clicked on the widgets; the matching entries show in the real list.
#include <stdlib.h>
#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>

#include <filesystem>
#include <optional>
#include <string>

#include "runtime/database.h"
#include "runtime/files.h"
#include "runtime/threads.h"
#include "snippets/globals.h"
#include "snippets/startup.h"
#include "tests/support/temp_folder.h"
#include "tests/wx/wx_fixture.h"

namespace {

namespace fs = std::filesystem;

class SearchWindowTest : public WxTest {
 protected:
  void SetUp() override {
    WxTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    const char* tmp = getenv("TMPDIR");
    oldTmpDir_ = tmp ? std::optional<std::string>(tmp) : std::nullopt;
    folder_.emplace();
    const fs::path& base_ = folder_->native();
    fs::create_directory(base_ / "program");
    fs::create_directory(base_ / "tmp");
    setenv("TMPDIR", (base_ / "tmp").c_str(), 1);
    SetRunDirectory(PathFromNative((base_ / "program").string()));
    ASSERT_TRUE(WriteFileBytes(GetRunDirectory() + "\\DATA.mdb", EmptyDatabaseTemplate()));
    BindSnippetHandlers();
    ASSERT_TRUE(StartSnippetProgram());
    ASSERT_TRUE(PumpUntil([] { return ActiveThreadCount() == 0; }));
    started_ = true;
  }

  void TearDown() override {
    if (started_) {
      PumpUntil([] { return ActiveThreadCount() == 0; });
      OdbcClose(LibraryDatabase);
    }
    WxTest::TearDown();
    if (!folder_) return;
    if (oldTmpDir_) {
      setenv("TMPDIR", oldTmpDir_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
    folder_.reset();
  }

  static void InsertEntry(const Text& name, const Text& description, int tag) {
    ASSERT_TRUE(OdbcExecute(LibraryDatabase,
                            "INSERT INTO `内含信息` (`名称`,`使用方法`,`说明`,`图片`,`例程`,`标记`) VALUES ('" +
                                name + "','\\DATA\\方法\\x.txt','" + description + "','','','" + ToText(tag) +
                                "');"));
  }

 private:
  std::optional<TempFolder> folder_;
  std::optional<std::string> oldTmpDir_;
  bool started_ = false;
};

TEST_F(SearchWindowTest, SearchFillsTheList) {
  InsertEntry("快速排序", "数组", 1);
  InsertEntry("链表", "快速插入", 2);
  InsertEntry("无关", "无", 3);

  Widget<wxTextCtrl>(MainWindow::SearchBox)->SetValue(ui::wx::ToWx("快速"));  // as typed
  for (ui::ControlRef ref : {MainWindow::SearchNameCheck, MainWindow::SearchDescriptionCheck}) {
    auto* check = Widget<wxCheckBox>(ref);
    check->SetValue(true);
    wxCommandEvent toggled(wxEVT_CHECKBOX, check->GetId());
    toggled.SetEventObject(check);
    check->ProcessWindowEvent(toggled);
  }
  auto* button = Widget<ui::wx::PictureButton>(MainWindow::SearchButton);
  for (wxEventType type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP}) {
    wxMouseEvent event(type);
    event.SetPosition(wxPoint(5, 5));
    event.SetEventObject(button);
    event.m_leftDown = type == wxEVT_LEFT_DOWN;
    button->ProcessWindowEvent(event);
  }

  auto* list = Widget<wxListCtrl>(MainWindow::EntryListView);
  ASSERT_TRUE(PumpUntil([&] { return ActiveThreadCount() == 0 && list->GetItemCount() == 2; }));
  EXPECT_EQ(Shown(list->GetItemText(0, 0)), "快速排序");
  EXPECT_EQ(Shown(list->GetItemText(1, 0)), "链表");
  EXPECT_EQ(Shown(list->GetItemText(1, 1)), "快速插入");
}

}  // namespace
