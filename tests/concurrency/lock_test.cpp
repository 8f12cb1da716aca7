#include "concurrency/lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace concurrency {
namespace {

bool try_from_other_thread(Lock& lock) {
  bool got = true;
  std::thread other([&] {
    got = lock.try_enter();
    if (got) lock.leave();
  });
  other.join();
  return got;
}

TEST(LockTest, RecursiveForTheOwner) {
  Lock lock;
  ASSERT_TRUE(lock.try_enter());
  lock.enter();
  ASSERT_TRUE(lock.try_enter());
  EXPECT_FALSE(try_from_other_thread(lock));
  lock.leave();
  lock.leave();
  EXPECT_FALSE(try_from_other_thread(lock)) << "free only after the matching number of leaves";
  lock.leave();
  EXPECT_TRUE(try_from_other_thread(lock));
}

TEST(LockTest, SerialisesUpdates) {
  Lock lock;
  long counter = 0;
  auto work = [&] {
    for (int i = 0; i < 100000; ++i) {
      LockGuard hold(lock);
      ++counter;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 200000);
}

}  // namespace
}  // namespace concurrency
