// The whole road with each picture kind the preview measures: an entry is added with a picture
// of tests/data and an example, listed, previewed and scrolled, modified, and still there after
// a restart.
#include "resources/window_ids.h"
#include "runtime/files.h"
#include "snippets/directory_tree.h"
#include "snippets/globals.h"
#include "tests/snippets_entries/entries_fixture.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace {

namespace hl = ui::headless;
namespace aw = AddWindow;
namespace mw = MainWindow;

struct KindCase {
  const char* file;       // in tests/data/pictures
  const char* extension;  // of the stored picture
  int width, height;
  int vMaximum, hMaximum;
};

class PictureKindTest : public EntriesTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(PictureKindTest, AddListPreviewModifyAndRestart) {
  const KindCase& c = GetParam();
  const Text pictureFile = TestDataFile(Text("pictures/") + c.file);
  const Bytes picture = ReadFileBytes(pictureFile);
  ASSERT_FALSE(picture.empty()) << pictureFile;
  const Bytes example = BytesOf("int main() { return 0; }\n");
  const int directory = AddDirectory("图库", 8800);
  SelectDirectory(directory);

  hl::ChooseMenuItem(mw::Self, mw::AddEntryMenuItem.name);
  hl::TypeText(aw::NameBox, "样例");
  hl::TypeText(aw::UsageBox, "第一版用法");
  hl::TypeText(aw::DescriptionBox, "带图");
  hl::AnswerFileDialog(pictureFile);
  hl::Click(aw::AddPictureButton);
  hl::AnswerFileDialog(WriteTempFile("demo.cpp", example));
  hl::Click(aw::AddExampleButton);
  hl::Click(aw::SaveButton);
  hl::WaitIdle();
  ASSERT_EQ(hl::MessagesShown().back().text, "加入数据成功!!");

  ASSERT_EQ(ui::ListRowCount(mw::EntryListView), 1);
  EXPECT_EQ(ui::ListCell(mw::EntryListView, 0, 0), "样例");
  EXPECT_EQ(ui::ListCell(mw::EntryListView, 0, 1), "带图");
  hl::FocusListRow(mw::EntryListView, 0);
  EXPECT_EQ(ui::GetText(mw::UsageTextBox), "第一版用法");
  EXPECT_EQ(ui::GetPicture(mw::PreviewPicture), picture);
  EXPECT_EQ(ui::GetWidth(mw::PreviewPicture), c.width);
  EXPECT_EQ(ui::GetHeight(mw::PreviewPicture), c.height);
  EXPECT_EQ(ui::GetScrollMaximum(mw::PreviewVScrollBar), c.vMaximum);
  EXPECT_EQ(ui::GetScrollMaximum(mw::PreviewHScrollBar), c.hMaximum);
  hl::Scroll(mw::PreviewHScrollBar, 10000);
  hl::Scroll(mw::PreviewVScrollBar, 10000);
  EXPECT_EQ(ui::GetLeft(mw::PreviewPicture), -c.hMaximum);
  EXPECT_EQ(ui::GetTop(mw::PreviewPicture), -c.vMaximum);

  hl::ChooseMenuItem(mw::Self, mw::ModifyEntryMenuItem.name);
  hl::TypeText(aw::NameBox, "样例二");
  hl::TypeText(aw::UsageBox, "第二版用法");
  hl::Click(aw::SaveButton);
  hl::WaitIdle();
  ASSERT_EQ(hl::MessagesShown().back().text, "修改数据成功!!");

  ASSERT_EQ(SaveDirectoryTree(), 1);
  Restart();
  SelectDirectory(0);

  ASSERT_EQ(ui::ListRowCount(mw::EntryListView), 1);
  EXPECT_EQ(ui::ListCell(mw::EntryListView, 0, 0), "样例二");
  hl::FocusListRow(mw::EntryListView, 0);
  EXPECT_EQ(ui::GetText(mw::UsageTextBox), "第二版用法");
  EXPECT_EQ(ui::GetWidth(mw::PreviewPicture), c.width);
  EXPECT_EQ(ui::GetHeight(mw::PreviewPicture), c.height);
  const auto rows = ReadRows();
  ASSERT_EQ(rows.size(), 1u);
  const Text id = IdOfRow(rows[0]);
  EXPECT_EQ(rows[0].picture, "\\DATA\\图片\\" + id + "." + c.extension);
  EXPECT_EQ(rows[0].example, "\\DATA\\例程\\" + id + ".cpp");
  EXPECT_EQ(ReadStored(rows[0].picture), picture);
  EXPECT_EQ(ReadStored(rows[0].example), example);
  EXPECT_EQ(CountDataFiles("方法"), 1);
  EXPECT_EQ(CountDataFiles("图片"), 1);
  EXPECT_EQ(CountDataFiles("例程"), 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PictureKindTest,
                         ::testing::Values(KindCase{"large.jpg", "jpg", 1000, 800, 409, 521},
                                           KindCase{"small.png", "png", 300, 200, 0, 0},
                                           KindCase{"picture.gif", "gif", 640, 480, 89, 161},
                                           KindCase{"picture.bmp", "bmp", 520, 420, 29, 41},
                                           KindCase{"icon.ico", "ico", 48, 48, 0, 0}),
                         [](const auto& info) { return std::string(info.param.extension); });

}  // namespace
