// The download component against loopback servers: whole files, refused addresses, failures,
// limits, the HTTP members of the task, and stopping.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "runtime/download.h"
#include "runtime/files.h"
#include "runtime/threads.h"
#include "tests/download/raw_server.h"
#include "tests/support/temp_folder.h"
#include "tests/web/test_server.h"

using web_test::Reply;
using web_test::ReplyMode;
using web_test::TestServer;

namespace {

struct Event {
  int code;
  int b;
};

// The events a task raised, in order; waits for the thread-end event.
class Recorder {
 public:
  DownloadEventRoutine Routine() {
    return [this](int code, int, int b, int, int) {
      if (onEvent) onEvent(code);
      std::lock_guard<std::mutex> lock(mutex_);
      events_.push_back({code, b});
      changed_.notify_all();
    };
  }
  bool WaitFor(int code) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] {
      for (const Event& e : events_)
        if (e.code == code) return true;
      return false;
    });
  }
  std::vector<int> Codes() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> codes;
    for (const Event& e : events_) codes.push_back(e.code);
    return codes;
  }
  int SizeReported() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Event& e : events_)
      if (e.code == kDownloadEventSize) return e.b;
    return -1;
  }
  std::function<void(int)> onEvent;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Event> events_;
};

std::string Pattern(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
  return s;
}

class DownloadTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(WaitForThreads(10000)) << "a task thread still runs"; }

  TaskParam Task(const Text& source) {
    TaskParam p;
    p.Mode = 1;
    p.Source = source;
    p.LocalFile = temp.text() + "\\got.bin";
    p.StopWait = 1000;
    p.EventRoutine = recorder.Routine();
    return p;
  }
  Text Url(const std::string& path) { return "http://127.0.0.1:" + std::to_string(server.port()) + path; }
  Text Got() { return ToText(ReadFileBytes(temp.text() + "/got.bin")); }
  std::string GotBytes() {
    Bytes b = ReadFileBytes(temp.text() + "/got.bin");
    return std::string(b.begin(), b.end());
  }

  TempFolder temp;
  TestServer server;
  Recorder recorder;
  Download download;
};

}  // namespace

TEST_F(DownloadTest, WholeFileArrivesWithItsSizeThenDone) {
  const std::string body = Pattern(300 * 1024);
  server.On("/dir/update.zip", Reply{200, {}, body});
  ASSERT_TRUE(DownloadStart(download, Task(Url("/dir/update.zip"))));
  ASSERT_TRUE(recorder.WaitFor(kDownloadEventThreadEnd));
  EXPECT_EQ(recorder.Codes(), (std::vector<int>{kDownloadEventSize, kDownloadEventDone, kDownloadEventThreadEnd}));
  EXPECT_EQ(recorder.SizeReported(), static_cast<int>(body.size()));
  EXPECT_EQ(GotBytes(), body);
  // The counter holds everything not taken yet; bytes done count only while the task runs.
  EXPECT_EQ(DownloadTakeCounter(download), static_cast<std::int64_t>(body.size()));
  EXPECT_EQ(DownloadTakeCounter(download), 0);
  EXPECT_EQ(DownloadBytesDone(download), 0);
  // Still attached: a second start needs a stop first.
  EXPECT_FALSE(DownloadStart(download, Task(Url("/dir/update.zip"))));
  DownloadStop(download);
  EXPECT_EQ(DownloadTakeCounter(download), 0);
}

TEST_F(DownloadTest, EmptyFileIsDoneWithSizeZero) {
  server.On("/empty", Reply{200, {}, ""});
  ASSERT_TRUE(DownloadStart(download, Task(Url("/empty"))));
  ASSERT_TRUE(recorder.WaitFor(kDownloadEventThreadEnd));
  EXPECT_EQ(recorder.Codes(), (std::vector<int>{kDownloadEventSize, kDownloadEventDone, kDownloadEventThreadEnd}));
  EXPECT_EQ(recorder.SizeReported(), 0);
  EXPECT_TRUE(FileExists(temp.text() + "/got.bin"));
}

TEST_F(DownloadTest, AddressesWithoutHostOrOfOtherSchemesDoNotStart) {
  for (const Text& source : {Text(""), Text("127.0.0.1/x"), Text("file:///etc/passwd"), Text("mms://host/x"),
                             Text("rtsp://host/x"), Text("gopher://host/x"), Text("http:///x"), Text("http://")}) {
    EXPECT_FALSE(DownloadStart(download, Task(source))) << source;
  }
  EXPECT_TRUE(recorder.Codes().empty());
  EXPECT_FALSE(FileExists(temp.text() + "/got.bin"));
}

TEST_F(DownloadTest, FailuresRaiseFailedAndWriteNothing) {
  server.On("/cut", Reply{200, {}, Pattern(100000), ReplyMode::CloseEarly});
  RawServer refused("");  // closes at once after the request: no reply at all
  struct Case {
    const char* name;
    Text source;
    Text localFile;
  } cases[] = {
      {"not found", Url("/missing"), ""},
      {"server stops mid-transfer", Url("/cut"), ""},
      {"no reply", "http://127.0.0.1:" + std::to_string(refused.port()) + "/x", ""},
      {"folder missing", Url("/cut"), temp.text() + "\\no folder\\got.bin"},
  };
  for (const Case& c : cases) {
    Recorder local;
    Download d;
    TaskParam p = Task(c.source);
    p.EventRoutine = local.Routine();
    if (!c.localFile.empty()) p.LocalFile = c.localFile;
    ASSERT_TRUE(DownloadStart(d, p)) << c.name;
    ASSERT_TRUE(local.WaitFor(kDownloadEventThreadEnd)) << c.name;
    std::vector<int> codes = local.Codes();
    EXPECT_EQ(codes.size() >= 2 ? codes[codes.size() - 2] : 0, kDownloadEventFailed) << c.name;
    EXPECT_EQ(std::count(codes.begin(), codes.end(), kDownloadEventDone), 0) << c.name;
    EXPECT_FALSE(FileExists(temp.text() + "/got.bin")) << c.name;
  }
}

TEST_F(DownloadTest, AnnouncedSizeOverTheLimitFailsAtOnce) {
  RawServer huge("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kDownloadLimit + 1) + "\r\n\r\nabc");
  ASSERT_TRUE(DownloadStart(download, Task("http://127.0.0.1:" + std::to_string(huge.port()) + "/big")));
  ASSERT_TRUE(recorder.WaitFor(kDownloadEventThreadEnd));
  EXPECT_EQ(recorder.Codes().end()[-2], kDownloadEventFailed);
  EXPECT_FALSE(FileExists(temp.text() + "/got.bin"));
}

TEST_F(DownloadTest, BytesBeyondTheAnnouncedSizeAreNotTaken) {
  RawServer liar("HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\n" + std::string(5000, 'y'));
  ASSERT_TRUE(DownloadStart(download, Task("http://127.0.0.1:" + std::to_string(liar.port()) + "/f")));
  ASSERT_TRUE(recorder.WaitFor(kDownloadEventThreadEnd));
  EXPECT_EQ(recorder.SizeReported(), 10);
  EXPECT_EQ(Got(), std::string(10, 'y'));
}

TEST_F(DownloadTest, RefererAgentAndProxy) {
  server.On("/a/b/file.exe", Reply{200, {}, "x"});
  ASSERT_TRUE(DownloadStart(download, Task(Url("/a/b/file.exe?v=2"))));
  ASSERT_TRUE(recorder.WaitFor(kDownloadEventThreadEnd));
  DownloadStop(download);

  TaskParam given = Task(Url("/a/b/file.exe"));
  given.Referer = "http://elsewhere.example/page";
  Recorder second;
  given.EventRoutine = second.Routine();
  ASSERT_TRUE(DownloadStart(download, given));
  ASSERT_TRUE(second.WaitFor(kDownloadEventThreadEnd));
  DownloadStop(download);

  // Through a proxy the request carries the full address; the proxy here is the test server.
  TaskParam proxied = Task("http://update.example/a/b/file.exe");
  proxied.Proxy = "127.0.0.1:" + std::to_string(server.port());
  Recorder third;
  proxied.EventRoutine = third.Routine();
  ASSERT_TRUE(DownloadStart(download, proxied));
  ASSERT_TRUE(third.WaitFor(kDownloadEventThreadEnd));

  std::vector<web_test::Arrival> arrivals = server.Arrivals();
  ASSERT_EQ(arrivals.size(), 3u);
  EXPECT_EQ(arrivals[0].Header("Referer"), Url("/a/b/"));
  EXPECT_EQ(arrivals[0].Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
  EXPECT_EQ(arrivals[1].Header("Referer"), "http://elsewhere.example/page");
  EXPECT_EQ(arrivals[2].path, "http://update.example/a/b/file.exe");
}

TEST_F(DownloadTest, StopEndsTheTransferWithoutDoneOrFailed) {
  server.On("/slow", Reply{200, {}, Pattern(1000), ReplyMode::Trickle});
  ASSERT_TRUE(DownloadStart(download, Task(Url("/slow"))));
  ASSERT_TRUE(recorder.WaitFor(kDownloadEventSize));
  DownloadStop(download);
  EXPECT_TRUE(WaitForThreads(5000));
  std::vector<int> codes = recorder.Codes();
  EXPECT_EQ(std::count(codes.begin(), codes.end(), kDownloadEventDone), 0);
  EXPECT_EQ(std::count(codes.begin(), codes.end(), kDownloadEventFailed), 0);
  EXPECT_FALSE(FileExists(temp.text() + "/got.bin"));
  EXPECT_EQ(DownloadBytesDone(download), 0);
  DownloadStop(download);  // nothing attached: nothing happens
}

TEST_F(DownloadTest, StopFromTheEventRoutineDoesNotWaitForItself) {
  server.On("/f", Reply{200, {}, "abc"});
  recorder.onEvent = [this](int code) {
    if (code == kDownloadEventDone) DownloadStop(download);
  };
  ASSERT_TRUE(DownloadStart(download, Task(Url("/f"))));
  ASSERT_TRUE(recorder.WaitFor(kDownloadEventDone));
  EXPECT_TRUE(WaitForThreads(5000));
  EXPECT_EQ(Got(), "abc");
  // Detached: the object takes a new task.
  Recorder again;
  TaskParam p = Task(Url("/f"));
  p.EventRoutine = again.Routine();
  EXPECT_TRUE(DownloadStart(download, p));
  EXPECT_TRUE(again.WaitFor(kDownloadEventThreadEnd));
}
