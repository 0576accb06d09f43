// Owners of what the program sets up for its whole run (COM, OLE, a loaded library), so
// that every way out of wWinMain undoes exactly what was done.
#pragma once

#include <ole2.h>
#include <windows.h>

// COM on this thread for the owner's lifetime.
class ComApartment {
 public:
  ComApartment() : m_ok(SUCCEEDED(::CoInitialize(nullptr))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (m_ok) ::CoUninitialize();
  }
  bool ok() const { return m_ok; }

 private:
  bool m_ok;
};

// OLE on this thread for the owner's lifetime.
class OleSession {
 public:
  OleSession() : m_ok(SUCCEEDED(::OleInitialize(nullptr))) {}
  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;
  ~OleSession() {
    if (m_ok) ::OleUninitialize();
  }
  bool ok() const { return m_ok; }

 private:
  bool m_ok;
};

// A library loaded for the owner's lifetime; a missing library is allowed (null).
class LoadedLibrary {
 public:
  explicit LoadedLibrary(const wchar_t* name) : m_module(::LoadLibraryW(name)) {}
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  ~LoadedLibrary() {
    if (m_module) ::FreeLibrary(m_module);
  }
  HMODULE get() const { return m_module; }

 private:
  HMODULE m_module;
};

// Runs the SDK manager's Shutdown when the owner goes, on every path after Init.
template <class Manager>
class ShutdownOnExit {
 public:
  explicit ShutdownOnExit(Manager& manager) : m_manager(manager) {}
  ShutdownOnExit(const ShutdownOnExit&) = delete;
  ShutdownOnExit& operator=(const ShutdownOnExit&) = delete;
  ~ShutdownOnExit() { m_manager.Shutdown(); }

 private:
  Manager& m_manager;
};
