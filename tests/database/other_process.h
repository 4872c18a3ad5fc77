// Another program instance for the tests: a forked child that runs a body and talks to the test
// over two pipes, one byte a message. The test process must hold no database connection of its
// own on the child's file when it forks.
#pragma once

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

class OtherProcess {
 public:
  // The child's side of the pipes.
  class Channel {
   public:
    Channel(int in, int out) : in_(in), out_(out) {}
    void Tell(char message) { (void)!write(out_, &message, 1); }
    // The next message of the test; 0 when the test went away.
    char Await() {
      char message = 0;
      return read(in_, &message, 1) == 1 ? message : 0;
    }

   private:
    int in_, out_;
  };

  explicit OtherProcess(const std::function<void(Channel&)>& body) {
    int toChild[2], toTest[2];
    if (pipe(toChild) != 0 || pipe(toTest) != 0) {
      ADD_FAILURE() << "no pipes";
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      close(toChild[1]);
      close(toTest[0]);
      Channel channel(toChild[0], toTest[1]);
      body(channel);
      _exit(0);  // no test machinery of the parent runs in the child
    }
    close(toChild[0]);
    close(toTest[1]);
    out_ = toChild[1];
    in_ = toTest[0];
  }
  ~OtherProcess() { Finish(); }

  void Tell(char message) { (void)!write(out_, &message, 1); }
  // The child's next message; 0 when it ended or said nothing within ten seconds.
  char Await() {
    pollfd ready = {in_, POLLIN, 0};
    if (poll(&ready, 1, 10000) != 1) return 0;
    char message = 0;
    return read(in_, &message, 1) == 1 ? message : 0;
  }
  // Closes the pipes (the child's Await gives 0) and waits for the child's end.
  void Finish() {
    if (pid_ <= 0) return;
    close(out_);
    close(in_);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1, in_ = -1;
};
