// Answers the client's message boxes from inside their modal loops, for window tests that
// run on one thread.
#pragma once

#include <windows.h>

#include <string>

// What the answered box showed, and how to answer it: click `button`, or close the box with
// WM_CLOSE when `button` is null.
struct BoxAnswer {
  const wchar_t* button = nullptr;
  bool seen = false;
  std::wstring text, ok, cancel;
};

// While alive, answers the first message box of this thread that becomes visible.
class ScopedBoxAnswer {
 public:
  explicit ScopedBoxAnswer(BoxAnswer& answer);
  ~ScopedBoxAnswer();
  ScopedBoxAnswer(const ScopedBoxAnswer&) = delete;
  ScopedBoxAnswer& operator=(const ScopedBoxAnswer&) = delete;

 private:
  UINT_PTR m_timer = 0;
};

// While alive, refuses the creation of every window of this thread whose class is
// `windowClass` (one refusal at a time).
class ScopedWindowRefusal {
 public:
  explicit ScopedWindowRefusal(const wchar_t* windowClass);
  ~ScopedWindowRefusal();
  ScopedWindowRefusal(const ScopedWindowRefusal&) = delete;
  ScopedWindowRefusal& operator=(const ScopedWindowRefusal&) = delete;
  bool installed() const { return m_hook != nullptr; }

 private:
  HHOOK m_hook = nullptr;
};

// While alive, makes the creation of every window of this thread whose class is
// `windowClass` fail after its object has handled WM_CREATE (WM_CREATE answers -1), so
// the window is destroyed inside CreateWindowEx.
class ScopedCreationFailure {
 public:
  explicit ScopedCreationFailure(const wchar_t* windowClass);
  ~ScopedCreationFailure();
  ScopedCreationFailure(const ScopedCreationFailure&) = delete;
  ScopedCreationFailure& operator=(const ScopedCreationFailure&) = delete;
  bool installed() const { return m_hook != nullptr; }

 private:
  HHOOK m_hook = nullptr;
};
