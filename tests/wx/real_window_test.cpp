// The real windows as a user sees them: whose window a box belongs to, where the status bar
// sits at another size, what the search button draws, the boxes' language, and pictures that
// claim huge sizes.
#include <dlfcn.h>
#include <unistd.h>
#include <libintl.h>
#include <wx/statbmp.h>
#include <wx/statusbr.h>
#include <wx/textdlg.h>
#include <wx/uiaction.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "runtime/picture.h"
#include "tests/support/hostile_pictures.h"
#include "wx_fixture.h"

namespace {

using ui::wx::WidgetsOf;

// The window a toolkit window is kept above (its transient parent), from the toolkit itself.
void* TransientParentOf(wxWindow& window) {
  using Getter = void* (*)(void*);
  auto get = reinterpret_cast<Getter>(dlsym(RTLD_DEFAULT, "gtk_window_get_transient_for"));
  return get != nullptr ? get(window.GetHandle()) : nullptr;
}

void PressButton(wxWindow& button) {
  wxCommandEvent pressed(wxEVT_BUTTON, button.GetId());
  pressed.SetEventObject(&button);
  button.ProcessWindowEvent(pressed);
}

Text ButtonLabel(wxDialog& dialog, int id) {
  wxWindow* button = dialog.FindWindow(id);
  return button != nullptr ? WxTest::Shown(button->GetLabel()) : Text("(none)");
}

// What the screen shows in the rectangle, as the X server holds it.
wxImage Grab(const wxRect& rect) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("wx_grab_" + std::to_string(::getpid()) + ".png");
  char command[512];
  std::snprintf(command, sizeof command, "import -window root -crop %dx%d+%d+%d +repage 'png:%s'", rect.width,
                rect.height, rect.x, rect.y, file.c_str());
  wxImage image;
  if (std::system(command) == 0) image.LoadFile(wxString::FromUTF8(file.string()), wxBITMAP_TYPE_PNG);
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  return image;
}

int DarkPixels(const wxImage& image, const wxRect& rect) {
  int dark = 0;
  for (int y = rect.y; y <= rect.GetBottom(); ++y) {
    for (int x = rect.x; x <= rect.GetRight(); ++x) {
      if (image.GetRed(x, y) + image.GetGreen(x, y) + image.GetBlue(x, y) < 3 * 150) ++dark;
    }
  }
  return dark;
}

TEST_F(WxTest, AMessageBoxBelongsToTheWindowWhoseHandlerAskedAndGivesItTheFocusBack) {
  Load(MainWindow::Self);
  Load(AddWindow::Self);
  wxFrame* editor = Frame(AddWindow::Self);
  wxFrame* main = Frame(MainWindow::Self);
  ui::Bind(AddWindow::Self, AddWindow::SaveButton.name, ui::EventKind::Click,
           [](int) { ui::ShowMessageBox("请输入代码名称!!", ui::kMbIconWarning); });
  ui::Bind(MainWindow::Self, MainWindow::SearchButton.name, ui::EventKind::Click,
           [](int) { ui::ShowMessageBox("检测到最新版本，是否更新？？", ui::kMbYesNo); });
  auto* name = Widget<wxTextCtrl>(AddWindow::NameBox);
  editor->Raise();
  name->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == name; }));

  struct Seen {
    wxWindow* parent = nullptr;
    void* transientFor = nullptr;
  };
  auto answer = [](Seen& seen, int button) {
    AnswerModal([&seen, button](wxDialog& dialog) {
      seen.parent = dialog.GetParent();
      seen.transientFor = TransientParentOf(dialog);
      EXPECT_TRUE(dialog.IsModal());  // task-modal still: every window waits for it
      dialog.EndModal(button);
      return true;
    });
  };

  Seen fromEditor;
  answer(fromEditor, wxID_OK);
  PressButton(*Widget<wxWindow>(AddWindow::SaveButton));
  EXPECT_EQ(fromEditor.parent, editor);
  EXPECT_EQ(fromEditor.transientFor, editor->GetHandle());
  EXPECT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == name; }, 3000));

  // The main window's handler asks while the editor has the focus: the box is the main window's.
  Seen fromMain;
  answer(fromMain, wxID_NO);
  PressButton(*Widget<wxWindow>(MainWindow::SearchButton));
  EXPECT_EQ(fromMain.parent, main);
  EXPECT_EQ(fromMain.transientFor, main->GetHandle());
}

TEST_F(WxTest, BoxesAndFileDialogsSpeakChineseWhateverTheMachinesLanguage) {
  std::vector<std::pair<Text, Text>> labels;
  AnswerModal([&](wxDialog& dialog) {
    labels.push_back({ButtonLabel(dialog, wxID_YES), ButtonLabel(dialog, wxID_NO)});
    dialog.EndModal(wxID_YES);
    return true;
  });
  EXPECT_EQ(ui::ShowMessageBox("是否更新？？", ui::kMbYesNo), ui::kIdYes);
  AnswerModal([&](wxDialog& dialog) {
    labels.push_back({ButtonLabel(dialog, wxID_OK), ""});
    dialog.EndModal(wxID_OK);
    return true;
  });
  ui::ShowMessageBox("发送失败！", ui::kMbOk);
  AnswerModal([&](wxDialog& dialog) {
    labels.push_back({ButtonLabel(dialog, wxID_OK), ButtonLabel(dialog, wxID_CANCEL)});
    dialog.EndModal(wxID_CANCEL);
    return true;
  });
  Text typed;
  ui::InputBox("请输入表名", "请输入表名", "表名", typed);
  const std::vector<std::pair<Text, Text>> expected = {{"是", "否"}, {"确定", ""}, {"确定", "取消"}};
  EXPECT_EQ(labels, expected);

  // The file chooser's own texts and its buttons come from the toolkit's Chinese catalog.
  EXPECT_EQ(Shown(wxString::FromUTF8(dgettext("gtk30", "_Cancel"))), "取消(_C)");
  EXPECT_EQ(Shown(wxString::FromUTF8(dgettext("gtk30", "_Open"))), "打开(_O)");
}

// Closing a question box by its close box must not count as Yes: every Yes here ends or
// replaces something.
TEST_F(WxTest, ClosingAQuestionBoxAnswersNo) {
  AnswerModal([](wxDialog& dialog) {
    dialog.Close();
    return true;
  });
  EXPECT_EQ(ui::ShowMessageBox("是否关闭？？", ui::kMbYesNo), ui::kIdNo);
}

// Menus, boxes and the file chooser are drawn by the toolkit in its default font: the windows'.
TEST_F(WxTest, TheToolkitDrawsInTheWindowsFont) {
  using DefaultSettings = void* (*)();
  using GetProperty = void (*)(void*, const char*, ...);
  auto settings = reinterpret_cast<DefaultSettings>(dlsym(RTLD_DEFAULT, "gtk_settings_get_default"));
  auto get = reinterpret_cast<GetProperty>(dlsym(RTLD_DEFAULT, "g_object_get"));
  ASSERT_NE(settings, nullptr);
  ASSERT_NE(get, nullptr);
  char* name = nullptr;
  get(settings(), "gtk-font-name", &name, nullptr);
  ASSERT_NE(name, nullptr);
  const wxString toolkit = wxString::FromUTF8(name);
  std::free(name);
  EXPECT_EQ(toolkit, ui::wx::DefaultFont().GetNativeFontInfoDesc());
  wxFont shown;
  ASSERT_TRUE(shown.SetNativeFontInfo(toolkit));
  EXPECT_NEAR(shown.GetPixelSize().y, 12, 1);
}

// The file chooser stores its settings as it closes; without a session bus that printed a
// warning for each one.
TEST_F(WxTest, AFileDialogLeavesNoSettingsWarningsWithoutASessionBus) {
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (bus != nullptr && *bus != '\0') GTEST_SKIP() << "a session bus stores the settings";
  Load(AddWindow::Self);
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / ("wx_stderr_" + std::to_string(::getpid()) + ".txt");
  std::fflush(stderr);
  const int saved = ::dup(2);
  std::FILE* capture = std::fopen(file.c_str(), "w");
  ASSERT_NE(capture, nullptr);
  ::dup2(::fileno(capture), 2);
  std::thread closer([] {
    ui::DelayPumping(800);  // a worker's wait: the chooser is up by then
    ui::RunOnGui([] { wxUIActionSimulator().Char(WXK_ESCAPE); });
  });
  const bool chosen = ui::ShowCommonDialog(AddWindow::PictureDialog);
  closer.join();
  ui::DelayPumping(500);  // the settings are written after the chooser has gone
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  std::fclose(capture);
  std::ifstream in(file);
  const std::string printed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  EXPECT_FALSE(chosen);
  EXPECT_EQ(printed.find("dconf"), std::string::npos) << printed;
}

TEST_F(WxTest, TheStatusBarStaysAtTheBottomEdgeAtAnySize) {
  Load(MainWindow::Self);
  wxFrame* frame = Frame(MainWindow::Self);
  wxPanel* client = WidgetsOf(*ui::FindWindow("MainWindow"))->client;
  auto* bar = Widget<wxStatusBar>(MainWindow::MainStatusBar);
  const int height = bar->GetSize().y;
  auto docked = [&] {
    const wxSize area = client->GetClientSize();
    return bar->GetRect() == wxRect(0, area.y - height, area.x, height);
  };
  ASSERT_TRUE(docked());

  for (const wxSize size : {wxSize(1100, 900), wxSize(520, 380), wxSize(760, 560)}) {
    SCOPED_TRACE(size.x);
    frame->SetClientSize(size);
    EXPECT_TRUE(PumpUntil([&] { return client->GetClientSize().y > size.y - 60 && docked(); }, 3000));
  }
  // Maximized too, where a window manager carries it out.
  frame->Maximize(true);
  ui::DelayPumping(200);
  EXPECT_TRUE(docked());
  frame->Maximize(false);
}

TEST_F(WxTest, TheSearchButtonDrawsItsCaptionBesideItsIcon) {
  Load(MainWindow::Self);
  auto* button = Widget<ui::wx::PictureButton>(MainWindow::SearchButton);
  const wxRect area = button->CaptionArea();
  ASSERT_FALSE(area.IsEmpty());
  EXPECT_GE(area.x, button->GetSize().y / 2);  // right of the icon
  button->Refresh();
  button->Update();
  ui::DelayPumping(200);

  const wxImage shown = Grab(wxRect(button->GetScreenPosition(), button->GetSize()));
  ASSERT_TRUE(shown.IsOk());
  const wxImage picture = ui::wx::DecodePicture(SearchButtonImage());
  ASSERT_TRUE(picture.IsOk());
  // The picture's caption area is light; the caption's strokes are what is dark in it.
  EXPECT_EQ(DarkPixels(picture, area), 0);
  EXPECT_GT(DarkPixels(shown, area), 10);
}

// At 0 the bar is an empty trough, not a white box beside the edit boxes.
TEST_F(WxTest, AnEmptyProgressBarDoesNotLookLikeAnEditBox) {
  Load(ExportWindow::Self);
  auto* bar = Widget<wxWindow>(ExportWindow::ProgressBar);
  auto* edit = Widget<wxWindow>(ExportWindow::PathBox);
  ASSERT_EQ(Control(ExportWindow::ProgressBar).progress, 0);
  bar->Refresh();
  bar->Update();
  ui::DelayPumping(200);
  const wxImage barShown = Grab(wxRect(bar->GetScreenPosition(), bar->GetSize()));
  const wxImage editShown = Grab(wxRect(edit->GetScreenPosition(), edit->GetSize()));
  ASSERT_TRUE(barShown.IsOk());
  ASSERT_TRUE(editShown.IsOk());
  const wxPoint barMiddle(barShown.GetWidth() / 2, barShown.GetHeight() / 2);
  const wxPoint editMiddle(editShown.GetWidth() / 2, editShown.GetHeight() / 2);
  const int barLight = barShown.GetRed(barMiddle.x, barMiddle.y) + barShown.GetGreen(barMiddle.x, barMiddle.y) +
                       barShown.GetBlue(barMiddle.x, barMiddle.y);
  const int editLight = editShown.GetRed(editMiddle.x, editMiddle.y) +
                        editShown.GetGreen(editMiddle.x, editMiddle.y) + editShown.GetBlue(editMiddle.x, editMiddle.y);
  EXPECT_LT(barLight, editLight - 3 * 20);
}

TEST_F(WxTest, PicturesClaimingHugeSizesShowAsNoPicture) {
  std::ifstream jpegFile(std::string(SNIPDOCK_TEST_DATA) + "/pictures/large.jpg", std::ios::binary);
  const Bytes jpeg((std::istreambuf_iterator<char>(jpegFile)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(jpeg.empty());
  Load(MainWindow::Self);
  Load(AddWindow::Self);
  auto* preview = Widget<wxStaticBitmap>(MainWindow::PreviewPicture);
  auto* editorBox = Widget<wxStaticBitmap>(AddWindow::PictureBox);
  const wxSize editorSize(Control(AddWindow::PictureBox).width, Control(AddWindow::PictureBox).height);

  for (const hostile::Case& c : hostile::Pictures(jpeg)) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(ui::wx::DecodePicture(c.bytes).IsOk());
    // The preview as the program sets it for such a picture: no size.
    ui::SetPicture(MainWindow::PreviewPicture, c.bytes);
    ui::SetWidth(MainWindow::PreviewPicture, 0);
    ui::SetHeight(MainWindow::PreviewPicture, 0);
    EXPECT_FALSE(preview->GetBitmap().IsOk());
    // The editor keeps the box's size and shows its border around nothing.
    ui::SetPicture(AddWindow::PictureBox, c.bytes);
    ASSERT_EQ(editorBox->GetBitmap().GetSize(), editorSize);
    const wxImage shown = editorBox->GetBitmap().ConvertToImage();
    EXPECT_EQ(shown.GetAlpha(editorSize.x / 2, editorSize.y / 2), wxIMAGE_ALPHA_TRANSPARENT);
    EXPECT_EQ(ui::GetPicture(AddWindow::PictureBox), c.bytes);  // kept as chosen
    ui::DelayPumping(20);
  }

  // A picture within the limits still shows, and the empty box keeps a visible border.
  ui::SetPicture(AddWindow::PictureBox, SearchButtonImage());
  wxImage shown = editorBox->GetBitmap().ConvertToImage();
  EXPECT_EQ(shown.GetAlpha(30, 12), wxIMAGE_ALPHA_OPAQUE);
  ui::SetPicture(AddWindow::PictureBox, Bytes());
  shown = editorBox->GetBitmap().ConvertToImage();
  EXPECT_EQ(shown.GetAlpha(0, editorSize.y / 2), wxIMAGE_ALPHA_OPAQUE);
  EXPECT_EQ(shown.GetAlpha(editorSize.x - 1, 0), wxIMAGE_ALPHA_OPAQUE);
  EXPECT_EQ(shown.GetAlpha(editorSize.x / 2, editorSize.y / 2), wxIMAGE_ALPHA_TRANSPARENT);
}

}  // namespace
