// The wx backend: start-up, the event loop with the tasks other threads post, the clock,
// windows (frames, menu bars, tray icons), message and input boxes, file dialogs, pop-up menus
// and the shell.
#include "ui/wx/wx_backend.h"

#include <dlfcn.h>
#include <time.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/msgdlg.h>
#include <wx/textdlg.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include <wx/generic/msgdlgg.h>  // after the message box it derives from

#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/files.h"
#include "runtime/clock.h"
#include "runtime/platform.h"
#include "ui/backend.h"
#include "ui/wx/wx_drawn.h"
#include "ui/wx/wx_widgets.h"

namespace ui::wx {
namespace {

std::uint64_t nextSerial = 1;

// wx wants an application object; the program's own entry runs the show.
class ProgramApp : public wxApp {
 public:
  bool OnInit() override { return true; }  // the command line belongs to the program
};

void ReportAssert(const wxString& file, int line, const wxString& function, const wxString& condition,
                  const wxString& message) {
  std::fprintf(stderr, "wx: %s:%d %s: %s %s\n", static_cast<const char*>(file.utf8_str()), line,
               static_cast<const char*>(function.utf8_str()), static_cast<const char*>(condition.utf8_str()),
               static_cast<const char*>(message.utf8_str()));
}

// A menu item's caption as wx shows it: "&" stands for itself.
wxString MenuCaption(const Text& caption) {
  wxString shown = ToWx(caption);
  shown.Replace("&", "&&");
  return shown;
}

void AppendMenuItems(wxMenu& menu, const std::vector<MenuItemDef>& items, std::map<int, std::string>& ids) {
  for (const MenuItemDef& item : items) {
    if (item.separator) {
      menu.AppendSeparator();
    } else if (!item.items.empty()) {
      auto* sub = new wxMenu;
      AppendMenuItems(*sub, item.items, ids);
      menu.AppendSubMenu(sub, MenuCaption(item.caption));
    } else {
      const int id = wxWindow::NewControlId();
      menu.Append(id, MenuCaption(item.caption));
      ids[id] = item.name;
    }
  }
}

wxIcon IconFrom(const Bytes& bytes) {
  wxIcon icon;
  const wxImage image = DecodePicture(bytes);
  if (image.IsOk()) icon.CopyFromBitmap(wxBitmap(image));
  return icon;
}

// "description|pattern|..." with whole pairs only; all files when there is none.
wxString Wildcard(const Text& filter) {
  wxArrayString pieces = wxSplit(ToWx(filter), '|', '\0');
  if (pieces.size() % 2 == 1) pieces.pop_back();
  if (pieces.empty()) return wxFileSelectorDefaultWildcardStr;
  return wxJoin(pieces, '|', '\0');
}

// The buttons and titles of the boxes and file dialogs, in the interface's language whatever the
// machine's is.
const Text kOkLabel = "确定";
const Text kCancelLabel = "取消";
const Text kYesLabel = "是";
const Text kNoLabel = "否";
const Text kOpenTitle = "打开";
const Text kSaveTitle = "另存为";

void LabelButton(wxWindow& dialog, int id, const Text& label) {
  if (auto* button = dynamic_cast<wxButton*>(dialog.FindWindow(id))) button->SetLabel(ToWx(label));
}

// The frame a box or dialog belongs to while it is up: the asking window's, else the program's
// window the user is in. On leaving, that frame is raised again and its focused control, if it
// is still there, takes the focus back.
class OwnerScope {
 public:
  explicit OwnerScope(WindowModel* asking) {
    WindowWidgets* widgets = asking != nullptr ? WidgetsOf(*asking) : nullptr;
    if (widgets != nullptr && widgets->frame->IsShown()) {
      frame_ = widgets->frame;
    } else {
      frame_ = ActiveProgramFrame();
    }
    if (frame_ == nullptr) return;
    wxWindow* focused = wxWindow::FindFocus();
    if (focused != nullptr && wxGetTopLevelParent(focused) == frame_) focused_ = focused;
  }
  ~OwnerScope() {
    if (!frame_ || !frame_->IsShown()) return;
    frame_->Raise();
    if (focused_ && focused_->IsShownOnScreen() && focused_->IsEnabled()) {
      focused_->SetFocus();
    } else {
      frame_->SetFocus();
    }
  }
  OwnerScope(const OwnerScope&) = delete;
  OwnerScope& operator=(const OwnerScope&) = delete;

  wxFrame* Frame() const { return frame_.get(); }

 private:
  static wxFrame* ActiveProgramFrame() {
    for (WindowModel* window : LoadedWindows()) {
      WindowWidgets* widgets = WidgetsOf(*window);
      if (widgets != nullptr && widgets->frame->IsShown() && widgets->frame->IsActive()) return widgets->frame;
    }
    return nullptr;
  }

  wxWeakRef<wxFrame> frame_;
  wxWeakRef<wxWindow> focused_;
};

class WxBackend final : public Backend {
 public:
  WxBackend() : loop_(new wxGUIEventLoop) {
    wxEventLoopBase::SetActive(loop_);
    dispatcher_.Bind(wxEVT_THREAD, [this](wxThreadEvent&) {
      queued_ = false;
      RunTasks();
    });
  }

  // --- loop, tasks and clock ---
  bool WakeGui() override {
    // The event wakes whichever loop runs, a modal dialog's too.
    if (!queued_.exchange(true)) dispatcher_.QueueEvent(new wxThreadEvent);
    return true;
  }

  void RunLoop(const std::function<bool()>& stop) override {
    for (;;) {
      RunTasks();
      if (stop()) break;
      loop_->DispatchTimeout(250);
    }
    // Frames destroyed last are deleted on idle; there is no idle after this loop.
    if (wxTheApp != nullptr) wxTheApp->ProcessIdle();
  }

  void Pump(int ms) override {
    if (ms <= 0) {
      ProcessPending();
      return;
    }
    const std::uint64_t until = NowMs() + static_cast<std::uint64_t>(ms);
    for (;;) {
      RunTasks();
      const std::uint64_t now = NowMs();
      if (now >= until) break;
      loop_->DispatchTimeout(static_cast<unsigned long>(until - now));
    }
  }

  void ProcessPending() override {
    RunTasks();
    wxEventLoopBase* active = wxEventLoopBase::GetActive();
    (active != nullptr ? active : loop_)->YieldFor(wxEVT_CATEGORY_ALL);
    RunTasks();
  }

  std::uint64_t NowMs() override { return MonotonicMilliseconds(); }

  void SleepWorker(int ms) override {
    if (ms <= 0) return;
    timespec left{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
  }

  // --- windows ---
  void WindowCreated(WindowModel& window) override {
    const WindowDef& def = *window.def;
    auto* widgets = new WindowWidgets;
    widgets->serial = nextSerial++;
    window.backendData = widgets;

    wxWindow* owner = nullptr;
    if (WindowModel* parent = window.parent.empty() ? nullptr : ui::FindWindow(window.parent.c_str())) {
      if (WidgetsOf(*parent) != nullptr) owner = WidgetsOf(*parent)->frame;
    }
    long style = wxDEFAULT_FRAME_STYLE;
    if (owner != nullptr) style |= wxFRAME_FLOAT_ON_PARENT;
    wxFrame* frame = new wxFrame(owner, wxID_ANY, ToWx(window.title), wxPoint(def.left, def.top),
                                 wxDefaultSize, style, wxString::FromUTF8(def.name));
    widgets->frame = frame;
    widgets->lastPosition = wxPoint(def.left, def.top);
    if (!def.icon.empty()) frame->SetIcon(IconFrom(def.icon));
    BuildMenuBar(window, *widgets);
    widgets->client = new wxPanel(frame, wxID_ANY, wxDefaultPosition, wxSize(def.width, def.height));
    widgets->client->SetFont(DefaultFont());
    auto* layout = new wxBoxSizer(wxVERTICAL);
    int barHeight = 0;
    if (widgets->menuBar != nullptr) {
      barHeight = widgets->menuBar->GetBestSize().y;
      layout->Add(widgets->menuBar, 0, wxEXPAND);
    }
    layout->Add(widgets->client, 1, wxEXPAND);
    frame->SetSizer(layout);
    frame->SetClientSize(def.width, def.height + barHeight);
    CreateControls(window);
    BindFrame(window, *widgets);
    const Target target{def.name, widgets->serial, ""};
    widgets->client->Bind(wxEVT_SIZE, [target](wxSizeEvent& event) {
      event.Skip();
      if (WindowModel* model = target.Window()) DockStatusBars(*model);
    });

    {
      MirrorScope mirror;
      if (window.visible) frame->Show();
      if (window.state != WindowState::Normal) ShowState(*frame, window.state);
    }
    if (window.modal) {
      for (WindowModel* other : LoadedWindows()) {
        WindowWidgets* them = WidgetsOf(*other);
        if (other == &window || them == nullptr || !them->frame->IsEnabled()) continue;
        them->frame->Disable();
        widgets->disabledWindows.push_back(other->def->name);
      }
    }
    if (!window.trayIcon.empty()) ShowTray(window, *widgets);
  }

  void WindowDestroyed(WindowModel& window) override {
    WindowWidgets* widgets = WidgetsOf(window);
    if (widgets == nullptr) return;
    for (const std::string& name : widgets->disabledWindows) {
      WindowModel* other = ui::FindWindow(name.c_str());
      if (other != nullptr && WidgetsOf(*other) != nullptr) WidgetsOf(*other)->frame->Enable();
    }
    RemoveTray(*widgets);
    DestroyControls(window);
    window.backendData = nullptr;
    DestroyFrame(widgets->frame);
    delete widgets;
  }

  void WindowChanged(WindowModel& window, WindowChange what) override {
    WindowWidgets* widgets = WidgetsOf(window);
    if (widgets == nullptr) return;
    MirrorScope mirror;
    switch (what) {
      case WindowChange::Title:
        widgets->frame->SetTitle(ToWx(window.title));
        break;
      case WindowChange::Visible:
        widgets->frame->Show(window.visible);
        break;
      case WindowChange::State:
        ShowState(*widgets->frame, window.state);
        break;
      case WindowChange::TrayIcon:
        if (window.trayIcon.empty()) {
          RemoveTray(*widgets);
        } else {
          ShowTray(window, *widgets);
        }
        break;
    }
  }

  void BringToFront(WindowModel& window) override {
    WindowWidgets* widgets = WidgetsOf(window);
    if (widgets == nullptr || !window.visible) return;
    MirrorScope mirror;
    if (widgets->frame->IsIconized()) widgets->frame->Iconize(false);
    widgets->frame->Raise();
  }

  void ControlChanged(WindowModel& window, ControlModel& control, Change what, int index) override {
    MirrorControl(window, control, what, index);
  }

  // --- boxes and dialogs ---
  // Task-modal as before (every other window waits), but owned: the box stands over the window
  // whose handler asked for it and gives it the focus back afterwards.
  int MessageBox(const Text& text, int flags, const Text& title) override {
    const bool yesNo = (flags & 0xF) == kMbYesNo;
    long style = (yesNo ? wxYES_NO : wxOK) | wxCENTRE;
    switch (flags & 0xF0) {
      case 0x10:
        style |= wxICON_ERROR;
        break;
      case 0x20:
        style |= wxICON_QUESTION;
        break;
      case kMbIconWarning:
        style |= wxICON_WARNING;
        break;
      case kMbIconInformation:
        style |= wxICON_INFORMATION;
        break;
      default:
        break;  // the generic box shows an icon only when one is asked for
    }
    OwnerScope owner(ui::HandlingWindow());
    if (owner.Frame() == nullptr) style |= wxDIALOG_NO_PARENT;
    // The generic box, since the toolkit's own shows no icon.
    wxGenericMessageDialog box(owner.Frame(), ToWx(text), ToWx(title), style);
    box.SetOKLabel(ToWx(kOkLabel));
    box.SetYesNoLabels(ToWx(kYesLabel), ToWx(kNoLabel));
    ModalScope modal;
    const int answer = box.ShowModal();
    if (!yesNo) return kIdOk;
    return answer == wxID_YES ? kIdYes : kIdNo;
  }

  bool InputBox(const Text& prompt, const Text& title, const Text& initial, Text& result) override {
    OwnerScope owner(ui::HandlingWindow());
    wxTextEntryDialog box(owner.Frame(), ToWx(prompt), ToWx(title), ToWx(initial), wxOK | wxCANCEL | wxCENTRE);
    if (owner.Frame() == nullptr) box.SetWindowStyleFlag(box.GetWindowStyleFlag() | wxDIALOG_NO_PARENT);
    LabelButton(box, wxID_OK, kOkLabel);
    LabelButton(box, wxID_CANCEL, kCancelLabel);
    ModalScope modal;
    if (box.ShowModal() != wxID_OK) return false;
    result = FromWx(box.GetValue());
    return true;
  }

  bool FileDialog(WindowModel& window, ControlModel& dialog, Text& chosen) override {
    const bool save = dialog.def->kind == ControlKind::SaveDialog;
    const wxFileName preset(wxString::FromUTF8(NativePath(dialog.dialogFileName)));
    const long style = save ? wxFD_SAVE : (wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    // Owned by its window: while any modal loop runs, a destroyed frame is only hidden.
    OwnerScope owner(&window);
    wxFileDialog box(owner.Frame(), ToWx(save ? kSaveTitle : kOpenTitle), preset.GetPath(),
                     preset.GetFullName(), Wildcard(dialog.def->filter), style);
    ModalScope modal;
    if (box.ShowModal() != wxID_OK) return false;
    chosen = PathFromNative(box.GetPath().utf8_string());
    return true;
  }

  std::string PopupMenu(WindowModel& window, const MenuItemDef& menu) override {
    WindowWidgets* widgets = WidgetsOf(window);
    if (widgets == nullptr || !widgets->frame->IsShown()) return "";
    std::map<int, std::string> ids;
    wxMenu popup;
    AppendMenuItems(popup, menu.items, ids);
    const wxPoint at = widgets->client->ScreenToClient(wxGetMousePosition()) + wxPoint(3, 3);
    ModalScope modal;
    const int chosen = widgets->client->GetPopupMenuSelectionFromUser(popup, at);
    const auto it = ids.find(chosen);
    return it == ids.end() ? std::string() : it->second;
  }

  void ShellOpen(const Text& path) override { PlatformOpenWithDefaultProgram(NativePath(path)); }

  [[noreturn]] void Terminate(int code) override {
    // Workers may still run: the process ends at once, without tearing the toolkit down.
    std::fflush(nullptr);
    std::_Exit(code);
  }

 private:
  bool RunTasks() { return RunPostedTasks(); }

  // Menus drop down from the bar; an entry without items is a command on the bar itself.
  void BuildMenuBar(WindowModel& window, WindowWidgets& widgets) {
    const WindowDef& def = *window.def;
    if (def.menuBar.empty()) return;
    std::vector<MenuStrip::Entry> entries;
    for (const MenuItemDef& top : def.menuBar) {
      MenuStrip::Entry entry;
      entry.caption = ToWx(top.caption);
      if (top.items.empty()) {
        entry.id = wxWindow::NewControlId();
        widgets.menuItems[entry.id] = top.name;
      } else {
        entry.menu = new wxMenu;
        AppendMenuItems(*entry.menu, top.items, widgets.menuItems);
      }
      entries.push_back(entry);
    }
    widgets.menuBar = new MenuStrip(widgets.frame, std::move(entries));
    widgets.menuBar->SetFont(DefaultFont());
  }

  void BindFrame(WindowModel& window, WindowWidgets& widgets) {
    const Target target{window.def->name, widgets.serial, ""};
    wxFrame* frame = widgets.frame;
    frame->Bind(wxEVT_CLOSE_WINDOW, [target](wxCloseEvent& event) {
      WindowModel* model = target.Window();
      if (model == nullptr) {
        event.Skip();
        return;
      }
      // The core decides; a close it allows destroys the window through WindowDestroyed.
      if (event.CanVeto()) event.Veto();
      UserRequestClose(*model);
    });
    frame->Bind(wxEVT_MENU, [target](wxCommandEvent& event) {
      WindowModel* model = target.Window();
      if (model == nullptr) return;
      const auto& items = WidgetsOf(*model)->menuItems;
      const auto it = items.find(event.GetId());
      if (it == items.end()) {
        event.Skip();
        return;
      }
      const std::string item = it->second;
      UserChoseMenuItem(*model, item.c_str());
    });
    frame->Bind(wxEVT_MOVE, [frame, target](wxMoveEvent& event) {
      event.Skip();
      WindowModel* model = target.Window();
      if (model == nullptr) return;
      WindowWidgets& widgets = *WidgetsOf(*model);
      const wxPoint position = frame->GetPosition();
      if (position == widgets.lastPosition) return;
      widgets.lastPosition = position;
      if (!Mirroring()) RaiseEvent(*model, "", EventKind::Moved, 0);
    });
    auto stateChanged = [frame, target](wxEvent& event) {
      event.Skip();
      WindowModel* model = target.Window();
      if (model == nullptr) return;
      const WindowState state = frame->IsIconized()    ? WindowState::Minimized
                                : frame->IsMaximized() ? WindowState::Maximized
                                                       : WindowState::Normal;
      if (Mirroring()) return;  // the model holds it already
      model->state = state;
      RaiseEvent(*model, "", EventKind::Moved, 0);
    };
    frame->Bind(wxEVT_ICONIZE, stateChanged);
    frame->Bind(wxEVT_MAXIMIZE, stateChanged);
  }

  static void ShowState(wxFrame& frame, WindowState state) {
    switch (state) {
      case WindowState::Normal:
        if (frame.IsIconized()) frame.Iconize(false);
        if (frame.IsMaximized()) frame.Maximize(false);
        break;
      case WindowState::Minimized:
        frame.Iconize(true);
        break;
      case WindowState::Maximized:
        frame.Maximize(true);
        break;
    }
  }

  void ShowTray(WindowModel& window, WindowWidgets& widgets) {
    if (widgets.tray == nullptr) {
      widgets.tray = new wxTaskBarIcon;
      const Target target{window.def->name, widgets.serial, ""};
      auto action = [target](int which) {
        return [target, which](wxTaskBarIconEvent&) {
          WindowModel* model = target.Window();
          if (model == nullptr || model->trayIcon.empty()) return;
          RaiseEvent(*model, "", EventKind::TrayEvent, which);
        };
      };
      widgets.tray->Bind(wxEVT_TASKBAR_LEFT_UP, action(1));
      widgets.tray->Bind(wxEVT_TASKBAR_LEFT_DCLICK, action(2));
      widgets.tray->Bind(wxEVT_TASKBAR_RIGHT_UP, action(3));
    }
    widgets.tray->SetIcon(IconFrom(window.trayIcon), ToWx(window.trayTip));
  }

  static void RemoveTray(WindowWidgets& widgets) {
    if (widgets.tray == nullptr) return;
    widgets.tray->RemoveIcon();
    widgets.tray->Destroy();  // possibly from inside its own event
    widgets.tray = nullptr;
  }

  wxGUIEventLoop* loop_;
  wxEvtHandler dispatcher_;
  std::atomic<bool> queued_{false};
};

}  // namespace
}  // namespace ui::wx

namespace {

// The toolkit's own texts (the file chooser, its buttons) from its Chinese catalog whatever the
// machine's language. gettext ignores LANGUAGE under the plain "C" locale; messages then use
// C.UTF-8, which every glibc has, so no Chinese locale needs to be installed.
void UseChineseToolkitTexts() { setenv("LANGUAGE", "zh_CN", 1); }

void UseMessagesLocale() {
  const char* messages = std::setlocale(LC_MESSAGES, nullptr);
  if (messages == nullptr || std::strcmp(messages, "C") == 0 || std::strcmp(messages, "POSIX") == 0) {
    std::setlocale(LC_MESSAGES, "C.UTF-8");
  }
}

// Without a session bus the settings store cannot be reached, and every setting the file
// chooser writes prints a warning. The settings are then kept in memory for this run only.
void KeepToolkitSettingsInMemoryWithoutBus() {
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if ((bus == nullptr || *bus == '\0') && std::getenv("GSETTINGS_BACKEND") == nullptr) {
    setenv("GSETTINGS_BACKEND", "memory", 1);
  }
}

// Menus, boxes and the file chooser are drawn by the toolkit in its default font, larger than
// the windows' 12-pixel one: the windows' font becomes the toolkit's default, so a pop-up or
// dropped-down menu matches the menu bar and the controls. The toolkit is already loaded by
// wx; its two calls are looked up in the process rather than linked.
void UseWindowFontInToolkit() {
  using DefaultSettings = void* (*)();
  using SetProperty = void (*)(void*, const char*, ...);
  auto settings = reinterpret_cast<DefaultSettings>(dlsym(RTLD_DEFAULT, "gtk_settings_get_default"));
  auto set = reinterpret_cast<SetProperty>(dlsym(RTLD_DEFAULT, "g_object_set"));
  void* object = settings != nullptr ? settings() : nullptr;
  if (object == nullptr || set == nullptr) return;
  // The font's own description in the toolkit's terms: the size that gives its 12-pixel height.
  const wxString description = ui::wx::DefaultFont().GetNativeFontInfoDesc();
  set(object, "gtk-font-name", static_cast<const char*>(description.utf8_str()), nullptr);
}

}  // namespace

bool InstallWxBackend(int& argc, char** argv) {
  if (ui::CurrentBackend() != nullptr && wxTheApp != nullptr) return true;
  UseChineseToolkitTexts();
  KeepToolkitSettingsInMemoryWithoutBus();
  wxApp::SetInstance(new ui::wx::ProgramApp);
  if (!wxEntryStart(argc, argv)) {
    std::fprintf(stderr, "snipdock: no display to show the windows on\n");
    return false;
  }
  UseMessagesLocale();  // the toolkit set the locale from the environment as it started
  UseWindowFontInToolkit();
  if (!wxTheApp->CallOnInit()) {
    wxEntryCleanup();
    return false;
  }
  // The toolkit's own complaints go to the terminal, never into a box of their own.
  delete wxLog::SetActiveTarget(new wxLogStderr);
  wxSetAssertHandler(ui::wx::ReportAssert);
  wxInitAllImageHandlers();
  ui::InstallBackend(new ui::wx::WxBackend);
  return true;
}
