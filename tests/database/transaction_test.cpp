// Transactions: all or nothing, and other threads wait until one ends.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "database_fixture.h"
#include "runtime/database_test_hooks.h"

namespace {

class TransactionTest : public DatabaseFixture {
 protected:
  void SetUp() override {
    DatabaseFixture::SetUp();
    OpenNew(db_);
    ASSERT_TRUE(OdbcExecute(db_, "CREATE TABLE t (a VARCHAR(255));"));
  }
  bool Insert(const Text& value) {
    return OdbcExecute(db_, "INSERT INTO t (a) VALUES ('" + SqlEscape(value) + "');");
  }
  std::vector<Text> Rows() { return QueryColumn(db_, "SELECT a FROM t ORDER BY rowid", "a"); }

  // Lets the thread run until it waits for the unit.
  void AwaitWaiter() {
    while (OdbcWaitingThreads(db_) == 0) std::this_thread::yield();
  }
  DatabaseUnit db_;
};

TEST_F(TransactionTest, CommitsWhenTheBodySucceeds) {
  EXPECT_TRUE(OdbcTransaction(db_, [&] { return Insert("一") && Insert("二"); }));
  EXPECT_EQ(Rows(), (std::vector<Text>{"一", "二"}));
}

TEST_F(TransactionTest, RollsBackWhenTheBodyFails) {
  ASSERT_TRUE(Insert("before"));
  EXPECT_FALSE(OdbcTransaction(db_, [&] {
    EXPECT_TRUE(OdbcExecute(db_, "DELETE FROM t;"));
    EXPECT_TRUE(Insert("half"));
    return false;
  }));
  EXPECT_EQ(Rows(), (std::vector<Text>{"before"}));
}

TEST_F(TransactionTest, RollsBackWhenTheBodyThrows) {
  EXPECT_THROW(OdbcTransaction(db_, [&]() -> bool {
                 Insert("lost");
                 throw std::runtime_error("disk gone");
               }),
               std::runtime_error);
  EXPECT_TRUE(Rows().empty());
  EXPECT_TRUE(OdbcTransaction(db_, [&] { return Insert("after"); }));
  EXPECT_EQ(Rows(), (std::vector<Text>{"after"}));
}

TEST_F(TransactionTest, NestedTransactionUndoesOnlyItsOwnStatements) {
  EXPECT_TRUE(OdbcTransaction(db_, [&] {
    Insert("outer");
    EXPECT_FALSE(OdbcTransaction(db_, [&] { return Insert("inner") && false; }));
    EXPECT_TRUE(OdbcTransaction(db_, [&] { return Insert("kept"); }));
    return true;
  }));
  EXPECT_EQ(Rows(), (std::vector<Text>{"outer", "kept"}));
}

TEST_F(TransactionTest, NoConnectionOrNoBodyFails) {
  bool ran = false;
  DatabaseUnit closed;
  EXPECT_FALSE(OdbcTransaction(closed, [&] { return ran = true; }));
  EXPECT_FALSE(ran);
  EXPECT_FALSE(OdbcTransaction(db_, nullptr));
}

TEST_F(TransactionTest, BodyThatClosesTheUnitFails) {
  EXPECT_FALSE(OdbcTransaction(db_, [&] {
    Insert("x");
    OdbcClose(db_);
    return true;
  }));
  EXPECT_FALSE(OdbcIsOpen(db_));
}

// The other thread records how many rows it saw: joining the transaction it would see the
// first row only (or leave its row to the rollback); waiting, it sees the outcome.
TEST_F(TransactionTest, OtherThreadsStatementWaitsForTheEnd) {
  struct Case {
    bool commit;
    std::vector<Text> rows;
  };
  const Case cases[] = {
      {true, {"1", "2", "3", "3"}},
      {false, {"0"}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(OdbcExecute(db_, "DELETE FROM t;"));
    std::thread other;
    EXPECT_EQ(OdbcTransaction(db_,
                              [&] {
                                Insert("1");
                                other = std::thread([&] {
                                  EXPECT_TRUE(OdbcExecute(db_, "INSERT INTO t (a) SELECT count(*) FROM t;"));
                                });
                                AwaitWaiter();
                                Insert("2");
                                Insert("3");
                                return c.commit;
                              }),
              c.commit);
    other.join();
    EXPECT_EQ(Rows(), c.rows) << c.commit;
  }
}

TEST_F(TransactionTest, OtherThreadsQueryWaitsToo) {
  std::thread reader;
  std::vector<Text> seen;
  ASSERT_TRUE(OdbcTransaction(db_, [&] {
    Insert("a");
    reader = std::thread([&] { seen = QueryColumn(db_, "SELECT a FROM t", "a"); });
    AwaitWaiter();
    return Insert("b");
  }));
  reader.join();
  EXPECT_EQ(seen, (std::vector<Text>{"a", "b"}));
}

// Many threads writing at once: every statement is atomic and none is lost.
TEST_F(TransactionTest, ConcurrentTransactionsAndStatementsAllLand) {
  constexpr int kThreads = 6, kRounds = 20;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int r = 0; r < kRounds; ++r) {
        if (r % 2 == 0) {
          EXPECT_TRUE(OdbcTransaction(db_, [&] { return Insert(ToText(t)) && Insert(ToText(t)); }));
        } else {
          EXPECT_TRUE(Insert(ToText(t)));
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(Rows().size(), static_cast<std::size_t>(kThreads * kRounds * 3 / 2));
}

}  // namespace
