// Owners of what the program sets up for its whole run (COM, OLE, a loaded library), so
// that every way out of wWinMain undoes exactly what was done.
#pragma once

#include <ole2.h>
#include <windows.h>

// COM on this thread for the owner's lifetime.
class ComApartment {
 public:
  ComApartment() : ok_(SUCCEEDED(::CoInitialize(nullptr))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (ok_) ::CoUninitialize();
  }
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

// OLE on this thread for the owner's lifetime.
class OleSession {
 public:
  OleSession() : ok_(SUCCEEDED(::OleInitialize(nullptr))) {}
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  ~OleSession() {
    if (ok_) ::OleUninitialize();
  }
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

// A library loaded for the owner's lifetime; a missing library is allowed (null).
class LoadedLibrary {
 public:
  explicit LoadedLibrary(const wchar_t* name) : module_(::LoadLibraryW(name)) {}
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  ~LoadedLibrary() {
    if (module_) ::FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// Runs the SDK manager's Shutdown when the owner goes, on every path after Init.
template <class Manager>
class ShutdownOnExit {
 public:
  explicit ShutdownOnExit(Manager& manager) : manager_(manager) {}
  ShutdownOnExit(const ShutdownOnExit&) = delete;
  ShutdownOnExit& operator=(const ShutdownOnExit&) = delete;
  ~ShutdownOnExit() { manager_.Shutdown(); }

 private:
  Manager& manager_;
};
