#include "platform/unique_handle.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/posix/handles.h"

namespace eqd::platform {
namespace {

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

// A pipe's two ends, each owned.
struct TPipe {
  TFd Read, Write;
  TPipe() {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    Read.Reset(fds[0]);
    Write.Reset(fds[1]);
  }
};

TEST(UniqueHandleTest, ADescriptorIsClosedOnceByWhoeverOwnsItLast) {
  int fd = -1;
  {
    TPipe pipe;
    fd = pipe.Read.Get();
    TFd moved(std::move(pipe.Read));
    EXPECT_FALSE(pipe.Read);
    EXPECT_EQ(moved.Get(), fd);
    TFd assigned;
    assigned = std::move(moved);
    EXPECT_TRUE(IsOpen(fd));
  }
  EXPECT_FALSE(IsOpen(fd));
}

TEST(UniqueHandleTest, PutResetAndDetachReleaseOrHandOverTheOldValue) {
  TPipe pipe;
  const int read = pipe.Read.Get();
  const int write = pipe.Write.Get();

  int* slot = pipe.Read.Put();  // closes the old descriptor before handing out the slot
  EXPECT_FALSE(IsOpen(read));
  EXPECT_EQ(*slot, -1);

  const int kept = pipe.Write.Detach();  // the caller owns it now
  EXPECT_FALSE(pipe.Write);
  pipe.Write.Reset();
  EXPECT_TRUE(IsOpen(write));
  EXPECT_EQ(kept, write);
  TFd again(kept);
  again.Reset();
  EXPECT_FALSE(IsOpen(write));
}

std::vector<void*> gClosed;
void RecordClose(void* p) { gClosed.push_back(p); }

TEST(UniqueHandleTest, APointerHandleMayNameANonNullInvalidValueByItsInteger) {
  using TMinusOneHandle = TUniqueHandle<void*, &RecordClose, -1>;
  void* const invalid = reinterpret_cast<void*>(std::intptr_t{-1});
  int object = 0;
  gClosed.clear();
  {
    TMinusOneHandle none;
    EXPECT_EQ(none.Get(), invalid);
    EXPECT_FALSE(none);
    TMinusOneHandle null(nullptr);  // null is a value like any other here
    EXPECT_TRUE(null);
    TMinusOneHandle owned(&object);
  }
  EXPECT_EQ(gClosed, (std::vector<void*>{&object, nullptr}));
}

struct TPairStruct {
  int A = 0, B = 0;
};
std::vector<int> gClosedPairs;
void ClosePair(TPairStruct* p) { gClosedPairs.push_back(p->A); }

TEST(UniqueHandleTest, AStructHandleIsClosedOnlyAfterItWasFilled) {
  gClosedPairs.clear();
  {
    TUniqueStruct<TPairStruct, &ClosePair> handle;
    handle.Put()->A = 1;  // the opening function failed: nothing to close
    EXPECT_FALSE(handle);
    EXPECT_EQ(handle.Get(), nullptr);
    handle.Put()->A = 2;
    handle.Fill();
    EXPECT_EQ(handle.Get()->A, 2);
    TUniqueStruct<TPairStruct, &ClosePair> moved(std::move(handle));
    EXPECT_FALSE(handle);
    moved.Put()->A = 3;  // closes 2 first
    moved.Fill();
  }
  EXPECT_EQ(gClosedPairs, (std::vector<int>{2, 3}));
}

}  // namespace
}  // namespace eqd::platform
