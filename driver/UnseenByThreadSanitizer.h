// A copy into a libjack ring buffer, kept out of the thread sanitizer's view.
// The ring (libjack's own code, not instrumented) orders the writer's copy
// before the reader's with barriers the sanitizer cannot see, so it would
// take every hand-over for a race. Only the writer's side is hidden: the
// reader's copy out of the ring is still checked, so a ring read after it
// was freed is still reported. Outside the sanitizer's builds it does nothing.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define MORVELANT_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define MORVELANT_THREAD_SANITIZER 1
#endif
#endif

#ifdef MORVELANT_THREAD_SANITIZER
// The sanitizer's own: the calling thread's accesses between the two are not checked.
extern "C" void AnnotateIgnoreWritesBegin(const char* file, int line);
extern "C" void AnnotateIgnoreWritesEnd(const char* file, int line);
#endif

namespace morvelant::driver {

struct UnseenByThreadSanitizer {
#ifdef MORVELANT_THREAD_SANITIZER
    UnseenByThreadSanitizer() { AnnotateIgnoreWritesBegin(__FILE__, __LINE__); }
    ~UnseenByThreadSanitizer() { AnnotateIgnoreWritesEnd(__FILE__, __LINE__); }
#else
    UnseenByThreadSanitizer() {}  // user-provided: a scope's guard is no unused variable
#endif
    UnseenByThreadSanitizer(const UnseenByThreadSanitizer&) = delete;
    UnseenByThreadSanitizer& operator=(const UnseenByThreadSanitizer&) = delete;
};

}  // namespace morvelant::driver
