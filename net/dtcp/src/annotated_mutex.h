// A mutex and its scoped lock with clang's thread-safety annotations, so that
// a clang build with -Wthread-safety checks that every member marked
// KELDA_GUARDED_BY is only touched with its mutex held. Other compilers see
// plain std::mutex code; nothing here changes what runs.
//
// Threading: as std::mutex. A Lock may be let go and taken again (for the
// waits of a condition variable, through native()). Lambdas are checked as
// functions of their own: one that runs with the mutex held (a wait's
// predicate) says so with assert_held().
#pragma once

#include <mutex>

#if defined(__clang__)
#define KELDA_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define KELDA_THREAD_ANNOTATION(x)
#endif

#define KELDA_CAPABILITY(x) KELDA_THREAD_ANNOTATION(capability(x))
#define KELDA_SCOPED_CAPABILITY KELDA_THREAD_ANNOTATION(scoped_lockable)
#define KELDA_GUARDED_BY(x) KELDA_THREAD_ANNOTATION(guarded_by(x))
#define KELDA_ACQUIRED_BEFORE(...) KELDA_THREAD_ANNOTATION(acquired_before(__VA_ARGS__))
#define KELDA_REQUIRES(...) KELDA_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define KELDA_EXCLUDES(...) KELDA_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define KELDA_ACQUIRE(...) KELDA_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define KELDA_RELEASE(...) KELDA_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define KELDA_ASSERT_CAPABILITY(x) KELDA_THREAD_ANNOTATION(assert_capability(x))

namespace kelda::dtcp {

class KELDA_CAPABILITY("mutex") AnnotatedMutex {
 public:
  void lock() KELDA_ACQUIRE() { mutex_.lock(); }
  void unlock() KELDA_RELEASE() { mutex_.unlock(); }
  // Tells the analysis that the caller holds the mutex (no run-time check).
  void assert_held() const KELDA_ASSERT_CAPABILITY(this) {}
  std::mutex& native() { return mutex_; }

 private:
  std::mutex mutex_;
};

class KELDA_SCOPED_CAPABILITY Lock {
 public:
  explicit Lock(AnnotatedMutex& mutex) KELDA_ACQUIRE(mutex) : lock_(mutex.native()) {}
  ~Lock() KELDA_RELEASE() {}
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

  void lock() KELDA_ACQUIRE() { lock_.lock(); }
  void unlock() KELDA_RELEASE() { lock_.unlock(); }
  // For the waits of a std::condition_variable.
  std::unique_lock<std::mutex>& native() { return lock_; }

 private:
  std::unique_lock<std::mutex> lock_;
};

}  // namespace kelda::dtcp
