// Online count, bulletin and feedback. Each service resolves its share link afresh for every
// use; nothing is cached.
#include "snippets/online_services.h"

#include <atomic>

#include "resources/window_ids.h"
#include "runtime/inet.h"
#include "runtime/threads.h"
#include "snippets/web_links.h"
#include "ui/ui.h"
#include "web/http_request.h"

namespace {

// The text of the shared file behind link: an address or the bulletin, used as it comes.
Text ReadSharedFile(const ShareLink& link) {
  return ToText(HttpGet(ResolveShareLink(link, SnippetShareMarkers)));
}

// Counts each opening of the bulletin window, so a read started for an earlier opening never
// fills a later one.
std::atomic<int> NoticeOpening{0};

// True when a whole reply with a 2xx status came back (the body alone cannot tell an empty
// reply from a failed request).
bool ReplyAccepted(const Text& rawHeaders) {
  const int blank = FindText(rawHeaders, " ");
  if (blank == -1) return false;
  const Text status = TextMiddle(rawHeaders, blank + 1, 3);
  return status.size() == 3 && status[0] == '2';
}

}  // namespace

void ReportOnlineCount(int kind) {
  const Text address = ReadSharedFile(OnlineCountLink());
  std::vector<Text> pieces =
      SplitText(ToText(HttpRequest(address, "POST", "leixing=" + ToText(kind))), "</br>");
  if (pieces.size() < 2) return;
  const Text current = pieces[1];
  pieces = SplitText(ToText(HttpRequest(address, "POST", "leixing=1")), "</br>");
  if (pieces.size() < 2) return;
  const Text highest = pieces[1];
  ui::StatusBarSetText(MainWindow::MainStatusBar, 2, "人数-最高:" + highest + " 现行:" + current);
}

void ReportOnlineCountThread(int kind) { ReportOnlineCount(kind); }

void MainWindow_OnlineCountTimer_OnTick() { StartThread(ReportOnlineCountThread, OnlineCountPeriodic); }

void MainWindow_NoticeMenuItem_OnSelected() {
  ui::LoadWindow(NoticeWindow::Self, &MainWindow::Self, false);
}

void NoticeWindow_OnCreated() { StartThread(LoadNoticeThread, ++NoticeOpening); }

void LoadNotice(int opening) {
  const Text text = ReadSharedFile(NoticeLink());
  ui::RunOnGui([&] {
    if (opening == NoticeOpening && ui::IsCreated(NoticeWindow::Self)) {
      ui::SetText(NoticeWindow::NoticeBox, text);
    }
  });
}

void LoadNoticeThread(int opening) { LoadNotice(opening); }

void MainWindow_FeedbackMenuItem_OnSelected() {
  ui::LoadWindow(FeedbackWindow::Self, &MainWindow::Self, false);
}

void FeedbackWindow_SendButton_OnClick() {
  ui::SetText(FeedbackWindow::SendButton, "发送中...");
  ui::SetEnabled(FeedbackWindow::SendButton, false);
  const Text target = ReadSharedFile(FeedbackLink());
  Text rawHeaders;
  bool sent = false;
  if (!target.empty()) {
    const Text body = "bt=" + ui::GetText(FeedbackWindow::TitleBox) +
                      "&nr=" + ui::GetText(FeedbackWindow::ContentBox) +
                      "&lx=" + ui::GetText(FeedbackWindow::ContactBox);
    HttpRequest(target, "POST", body, "", nullptr, "", 0, false, "", "", "", &rawHeaders);
    sent = ReplyAccepted(rawHeaders);
  }
  if (!sent) {
    // Nothing arrived: the window and what was typed stay for another try.
    ui::ShowMessageBox("发送失败！");
    ui::SetText(FeedbackWindow::SendButton, "发送");
    ui::SetEnabled(FeedbackWindow::SendButton, true);
    return;
  }
  ui::ShowMessageBox("发送完毕，销毁窗口！");
  ui::DestroyProgramWindow(FeedbackWindow::Self);
}

void BindOnlineServiceHandlers() {
  using ui::EventKind;
  ui::Bind(MainWindow::Self, MainWindow::OnlineCountTimer.name, EventKind::Timer,
           [](int) { MainWindow_OnlineCountTimer_OnTick(); });
  ui::Bind(MainWindow::Self, MainWindow::NoticeMenuItem.name, EventKind::MenuSelected,
           [](int) { MainWindow_NoticeMenuItem_OnSelected(); });
  ui::Bind(MainWindow::Self, MainWindow::FeedbackMenuItem.name, EventKind::MenuSelected,
           [](int) { MainWindow_FeedbackMenuItem_OnSelected(); });
  ui::BindWindow(NoticeWindow::Self, EventKind::Created, [](int) { NoticeWindow_OnCreated(); });
  ui::Bind(FeedbackWindow::Self, FeedbackWindow::SendButton.name, EventKind::Click,
           [](int) { FeedbackWindow_SendButton_OnClick(); });
}
