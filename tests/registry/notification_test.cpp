// Event objects and RegNotifyChangeKeyValue, through the Win32 API only, so
// that the tests hold on Windows and Wine too. As in Wine's own tests, each
// case registers afresh and waits with a zero timeout before and after the
// change: a change made by this process has signalled by the time the call
// that made it returns.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "temp_registry.h"
#include "wine_difference.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

const DWORD kSignalled = WAIT_OBJECT_0;
const DWORD kNotSignalled = WAIT_TIMEOUT;

DWORD poll(HANDLE event) { return WaitForSingleObject(event, 0); }

TEST(Events, ManualResetStaysSignalledAutomaticResetWakesOneWait) {
  const struct {
    BOOL manual, initial;
    DWORD firstWait, secondWait;
  } cases[] = {
      {TRUE, TRUE, kSignalled, kSignalled},
      {TRUE, FALSE, kNotSignalled, kNotSignalled},
      {FALSE, TRUE, kSignalled, kNotSignalled},
      {FALSE, FALSE, kNotSignalled, kNotSignalled},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "manual " << c.manual << ", initial " << c.initial);
    HANDLE event = CreateEventA(nullptr, c.manual, c.initial, nullptr);
    ASSERT_NE(nullptr, event);
    EXPECT_EQ(c.firstWait, poll(event));
    EXPECT_EQ(c.secondWait, poll(event));
    EXPECT_TRUE(SetEvent(event));
    EXPECT_TRUE(SetEvent(event)) << "setting a set event";
    EXPECT_EQ(kSignalled, poll(event));
    EXPECT_EQ(c.manual ? kSignalled : kNotSignalled, poll(event));
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(kNotSignalled, poll(event));
    EXPECT_TRUE(CloseHandle(event));
  }
}

TEST(Events, WaitsTimeOutOrEndWhenAnotherThreadSets) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  const auto start = steady_clock::now();
  EXPECT_EQ(kNotSignalled, WaitForSingleObject(event, 100));
  EXPECT_GE(steady_clock::now() - start, milliseconds(90)) << "waited the time out";

  std::thread setter([event] {
    std::this_thread::sleep_for(milliseconds(50));
    SetEvent(event);
  });
  EXPECT_EQ(kSignalled, WaitForSingleObject(event, INFINITE));
  setter.join();
  EXPECT_EQ(kNotSignalled, poll(event)) << "the wait took the automatic event's signal";
  CloseHandle(event);
}

TEST(Events, OneSetOfAnAutomaticEventReleasesOneOfTwoWaiters) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 2; ++i) {
    waiters.emplace_back([&] {
      if (WaitForSingleObject(event, 2000) == kSignalled) ++released;
    });
  }
  std::this_thread::sleep_for(milliseconds(100));
  SetEvent(event);
  std::this_thread::sleep_for(milliseconds(300));
  EXPECT_EQ(1, released.load());
  SetEvent(event);
  for (std::thread& t : waiters) t.join();
  EXPECT_EQ(2, released.load());
  CloseHandle(event);
}

TEST(Events, WaitingForSeveralTakesTheFirstSetOrAllAtOnce) {
  HANDLE events[3];
  for (HANDLE& e : events) e = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  EXPECT_EQ(kNotSignalled, WaitForMultipleObjects(3, events, FALSE, 0));
  SetEvent(events[2]);
  SetEvent(events[1]);
  EXPECT_EQ(WAIT_OBJECT_0 + 1, WaitForMultipleObjects(3, events, FALSE, 0)) << "lowest index";
  EXPECT_EQ(WAIT_OBJECT_0 + 2, WaitForMultipleObjects(3, events, FALSE, 0));
  EXPECT_EQ(kNotSignalled, WaitForMultipleObjects(3, events, FALSE, 0));

  SetEvent(events[0]);
  SetEvent(events[1]);
  EXPECT_EQ(kNotSignalled, WaitForMultipleObjects(3, events, TRUE, 0));
  EXPECT_EQ(kSignalled, poll(events[0])) << "a wait for all that failed takes nothing";
  SetEvent(events[0]);
  SetEvent(events[2]);
  EXPECT_EQ(kSignalled, WaitForMultipleObjects(3, events, TRUE, 0));
  EXPECT_EQ(kNotSignalled, WaitForMultipleObjects(3, events, FALSE, 0)) << "all three taken";
  for (HANDLE e : events) CloseHandle(e);
}

TEST(Events, InvalidHandlesAndBadCountsFail) {
  HANDLE closed = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  ASSERT_TRUE(CloseHandle(closed));
  std::vector<std::pair<const char*, HANDLE>> invalid = {
      {"made-up handle", reinterpret_cast<HANDLE>(ULONG_PTR(0xdeadbee0))}};
#ifndef _WIN32
  // Windows gives a closed handle's value to the next handle it opens; the
  // stand-in never reuses one.
  invalid.push_back({"closed handle", closed});
#endif
  for (const auto& [name, handle] : invalid) {
    const struct {
      const char* call;
      std::function<bool()> fails;
    } cases[] = {
        {"wait", [&] { return WaitForSingleObject(handle, 0) == WAIT_FAILED; }},
        {"set", [&] { return !SetEvent(handle); }},
        {"reset", [&] { return !ResetEvent(handle); }},
        {"close", [&] { return !CloseHandle(handle); }},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << c.call << " a " << name);
      SetLastError(0);
      EXPECT_TRUE(c.fails());
      EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    }
  }
  SetLastError(0);
  EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjects(0, &closed, FALSE, 0)) << "wait for none";
  EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
  HANDLE many[MAXIMUM_WAIT_OBJECTS + 1];
  for (HANDLE& h : many) h = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  SetLastError(0);
  EXPECT_EQ(WAIT_FAILED, WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS + 1, many, FALSE, 0));
  EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_EQ(kSignalled, WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, many, TRUE, 0));
  for (HANDLE h : many) CloseHandle(h);
}

class Notification : public RegistryTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyA(registry_.root(), "SOFTWARE\\TORVALE\\Notification", &base_));
    event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(nullptr, event_);
  }
  void TearDown() override {
    CloseHandle(event_);
    RegCloseKey(base_);
  }

  HKEY create(const std::string& path) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(base_, path.c_str(), &key)) << path;
    return key;
  }
  HKEY open(const std::string& path, REGSAM access = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(base_, path.c_str(), 0, access, &key)) << path;
    return key;
  }
  // Sets the value to data it never held before: Wine signals nothing for a
  // write that leaves a value as it was.
  void setValue(const std::string& key, const char* name) {
    HKEY k = open(key);
    ++writes_;
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&writes_),
                             sizeof writes_));
    RegCloseKey(k);
  }
  LONG notify(HKEY key, BOOL subtree, DWORD filter) {
    return RegNotifyChangeKeyValue(key, subtree, filter, event_, TRUE);
  }

  HKEY base_ = nullptr;
  HANDLE event_ = nullptr;
  DWORD writes_ = 0;
};

// Watched (with the value "v" and the subkey Child) and its sibling
// WatchedToo, whose name begins with Watched's.
TEST_F(Notification, TheFilterAndTheSubtreeFlagDecideWhichChangesSignal) {
  const DWORD kName = REG_NOTIFY_CHANGE_NAME, kLastSet = REG_NOTIFY_CHANGE_LAST_SET;
  const DWORD kOthers = REG_NOTIFY_CHANGE_ATTRIBUTES | REG_NOTIFY_CHANGE_SECURITY;
  enum Change {
    kSetValue,
    kDeleteValue,
    kAddSubkey,
    kDeleteSubkey,
    kSetBelow,
    kAddBelow,
    kSibling
  };
  const char* const kChangeNames[] = {"set value",     "delete value",    "add subkey",
                                      "delete subkey", "set value below", "add key below",
                                      "set in sibling"};
  const struct {
    DWORD filter;
    BOOL subtree;
    Change change;
    bool signals;
  } cases[] = {
      {kLastSet, FALSE, kSetValue, true},
      {kLastSet, FALSE, kDeleteValue, true},
      {kLastSet, FALSE, kAddSubkey, false},
      {kLastSet, FALSE, kSetBelow, false},
      {kLastSet, TRUE, kSetBelow, true},
      {kLastSet, TRUE, kAddBelow, false},
      {kName, FALSE, kAddSubkey, true},
      {kName, FALSE, kDeleteSubkey, true},
      {kName, FALSE, kSetValue, false},
      {kName, FALSE, kAddBelow, false},
      {kName, TRUE, kAddBelow, true},
      {kName, TRUE, kSetBelow, false},
      {kOthers, TRUE, kSetValue, false},
      {kOthers, TRUE, kAddSubkey, false},
      {kName | kLastSet, TRUE, kSibling, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "filter " << c.filter << ", subtree " << c.subtree << ", "
                                    << kChangeNames[c.change]);
    RegCloseKey(create("Watched\\Child"));
    RegCloseKey(create("WatchedToo"));
    setValue("Watched", "v");
    HKEY watched = open("Watched", KEY_NOTIFY);
    ASSERT_EQ(ERROR_SUCCESS, notify(watched, c.subtree, c.filter));
    EXPECT_EQ(kNotSignalled, poll(event_));
    HKEY key = open("Watched");
    switch (c.change) {
      case kSetValue:
        setValue("Watched", "w");
        break;
      case kDeleteValue:
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "v"));
        break;
      case kAddSubkey:
        RegCloseKey(create("Watched\\New"));
        break;
      case kDeleteSubkey:
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Child"));
        break;
      case kSetBelow:
        setValue("Watched\\Child", "w");
        break;
      case kAddBelow:
        RegCloseKey(create("Watched\\Child\\Grandchild"));
        break;
      case kSibling:
        setValue("WatchedToo", "w");
        break;
    }
    EXPECT_EQ(c.signals ? kSignalled : kNotSignalled, poll(event_));
    RegCloseKey(key);
    RegCloseKey(watched);
    poll(event_);  // closing the handle signalled
    RegDeleteKeyA(base_, "Watched\\Child\\Grandchild");
    RegDeleteKeyA(base_, "Watched\\Child");
    RegDeleteKeyA(base_, "Watched\\New");
    RegDeleteKeyA(base_, "Watched");
    RegDeleteKeyA(base_, "WatchedToo");
  }
}

TEST_F(Notification, ARegistrationSignalsOnceAndResetsTheEventWhenMade) {
  HKEY key = create("Key");
  ASSERT_TRUE(SetEvent(event_));
  ASSERT_EQ(ERROR_SUCCESS, notify(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET));
  EXPECT_EQ(kNotSignalled, poll(event_)) << "registering reset the event";
  setValue("Key", "a");
  EXPECT_EQ(kSignalled, poll(event_));
  setValue("Key", "b");
  EXPECT_EQ(kNotSignalled, poll(event_)) << "the registration is spent";
  ASSERT_EQ(ERROR_SUCCESS, notify(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET));
  setValue("KEY", "c");
  EXPECT_EQ(kSignalled, poll(event_)) << "registered again; the key named in other case";
  RegCloseKey(key);
}

TEST_F(Notification, NamesAreComparedWithoutRegardToCase) {
  RegCloseKey(create("Mixed\\Case"));
  HKEY key = open("MIXED", KEY_NOTIFY);
  ASSERT_EQ(ERROR_SUCCESS, notify(key, TRUE, REG_NOTIFY_CHANGE_LAST_SET));
  setValue("mixed\\cASE", "v");
  EXPECT_EQ(kSignalled, poll(event_));
  RegCloseKey(key);
}

TEST_F(Notification, ClosingTheHandleOrDeletingTheKeySignals) {
  HKEY closed = create("Closed");
  ASSERT_EQ(ERROR_SUCCESS, notify(closed, FALSE, REG_NOTIFY_CHANGE_LAST_SET));
  EXPECT_EQ(kNotSignalled, poll(event_));
  RegCloseKey(closed);
  EXPECT_EQ(kSignalled, poll(event_)) << "closing the key's handle";

  HKEY deleted = create("Deleted");
  ASSERT_EQ(ERROR_SUCCESS, notify(deleted, FALSE, REG_NOTIFY_CHANGE_LAST_SET));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(base_, "Deleted"));
  WINE_DIFFERENCE("Wine 8 does not signal a registration whose key is deleted")
  EXPECT_EQ(kSignalled, poll(event_)) << "deleting the key through another handle";
  EXPECT_EQ(ERROR_KEY_DELETED, notify(deleted, FALSE, REG_NOTIFY_CHANGE_LAST_SET));
  RegCloseKey(deleted);
}

TEST_F(Notification, AWaiterWithNoChangeTimesOut) {
  HKEY key = create("Quiet");
  ASSERT_EQ(ERROR_SUCCESS, notify(key, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET));
  setValue("", "elsewhere");
  EXPECT_EQ(kNotSignalled, WaitForSingleObject(event_, 300));
  RegCloseKey(key);
}

TEST_F(Notification, AChangeByAnotherThreadSignalsAWaitingThread) {
  HKEY key = create("Threads");
  ASSERT_EQ(ERROR_SUCCESS, notify(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET));
  std::thread writer([this] {
    std::this_thread::sleep_for(milliseconds(50));
    setValue("Threads", "v");
  });
  EXPECT_EQ(kSignalled, WaitForSingleObject(event_, 5000));
  writer.join();
  RegCloseKey(key);
}

TEST_F(Notification, ASynchronousCallReturnsWhenTheKeyChanges) {
  HKEY key = create("Synchronous");
  std::atomic<bool> returned{false};
  LONG result = -1;
  std::thread watcher([&] {
    result = RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, nullptr, FALSE);
    returned = true;
  });
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_FALSE(returned.load()) << "nothing has changed yet";
  setValue("Synchronous", "v");
  watcher.join();
  EXPECT_EQ(ERROR_SUCCESS, result);
  RegCloseKey(key);
}

TEST_F(Notification, ARegistrationEndsWithItsThreadUnlessThreadAgnostic) {
  HKEY key = create("Agnostic");
  HANDLE agnostic = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  std::thread registrar([&] {
    EXPECT_EQ(ERROR_SUCCESS, notify(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET));
    EXPECT_EQ(
        ERROR_SUCCESS,
        RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_THREAD_AGNOSTIC,
                                agnostic, TRUE));
  });
  registrar.join();
  WINE_DIFFERENCE("Wine 8 keeps a registration when the thread that made it exits")
  EXPECT_EQ(kSignalled, WaitForSingleObject(event_, 1000)) << "the registering thread exited";
  EXPECT_EQ(kNotSignalled, poll(agnostic)) << "thread agnostic: still registered";
  setValue("Agnostic", "v");
  EXPECT_EQ(kSignalled, poll(agnostic));
  CloseHandle(agnostic);
  RegCloseKey(key);
}

TEST_F(Notification, BadArgumentsAreRefused) {
  HKEY key = create("Bad");
  HKEY reader = open("Bad", KEY_QUERY_VALUE);
  HANDLE closedEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  CloseHandle(closedEvent);
  const struct {
    const char* what;
    HKEY key;
    DWORD filter;
    HANDLE event;
    LONG expected;
    const char* wineDifference;  // why Wine 8 answers otherwise; null: it does not
  } cases[] = {
      {"bogus key handle", reinterpret_cast<HKEY>(ULONG_PTR(0xdeadbee0)),
       REG_NOTIFY_CHANGE_LAST_SET, event_, ERROR_INVALID_HANDLE, nullptr},
      {"no event", key, REG_NOTIFY_CHANGE_LAST_SET, nullptr, ERROR_INVALID_PARAMETER,
       "Wine 8 hands the missing event on and fails with ERROR_INVALID_HANDLE"},
      {"closed event", key, REG_NOTIFY_CHANGE_LAST_SET, closedEvent, ERROR_INVALID_HANDLE, nullptr},
      {"unknown filter bit", key, 0x100, event_, ERROR_INVALID_PARAMETER,
       "Wine 8 accepts filter bits it does not know"},
      {"no notify right", reader, REG_NOTIFY_CHANGE_LAST_SET, event_, ERROR_ACCESS_DENIED, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const LONG result = RegNotifyChangeKeyValue(c.key, FALSE, c.filter, c.event, TRUE);
    if (!c.wineDifference) {
      EXPECT_EQ(c.expected, result);
      continue;
    }
    WINE_DIFFERENCE(c.wineDifference)
    EXPECT_EQ(c.expected, result);
  }
  setValue("Bad", "v");
  EXPECT_EQ(kNotSignalled, poll(event_)) << "no registration was made";
  RegCloseKey(reader);
  RegCloseKey(key);
}

}  // namespace
