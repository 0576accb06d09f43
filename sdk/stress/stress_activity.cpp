#include "stress/stress_activity.h"

#include <algorithm>

#include "stress/stress_stacks.h"

namespace kiv_stress {

namespace {
thread_local void* t_slot = nullptr;
}  // namespace

Activity& Activity::Instance() {
  static Activity activity;
  return activity;
}

Activity::Slot* Activity::Mine() { return static_cast<Slot*>(t_slot); }

void Activity::Enter(const std::string& name, bool application) {
  std::lock_guard<std::mutex> guard(m_mutex);
  auto slot = std::make_unique<Slot>();
  slot->name = name;
  slot->application = application;
  slot->threadId = GetCurrentThreadId();
  t_slot = slot.get();
  m_slots.push_back(std::move(slot));
}

void Activity::Leave() {
  std::lock_guard<std::mutex> guard(m_mutex);
  if (Slot* slot = Mine()) {
    slot->finished = true;
    slot->busy = false;
  }
  t_slot = nullptr;
}

void Activity::Begin(const std::string& operation) {
  std::lock_guard<std::mutex> guard(m_mutex);
  if (Slot* slot = Mine()) {
    slot->operation = operation;
    slot->since = GetTickCount();
    slot->busy = true;
    slot->note.clear();
  }
}

void Activity::Note(const std::string& note) {
  std::lock_guard<std::mutex> guard(m_mutex);
  if (Slot* slot = Mine()) slot->note = note;
}

void Activity::End() {
  std::lock_guard<std::mutex> guard(m_mutex);
  if (Slot* slot = Mine()) slot->busy = false;
}

std::string Activity::Current() {
  std::lock_guard<std::mutex> guard(m_mutex);
  Slot* slot = Mine();
  if (!slot) return std::string();
  return slot->name + (slot->busy ? " in " + slot->operation : std::string(" between operations"));
}

DWORD Activity::OldestApplicationOperation(std::string* which) {
  std::lock_guard<std::mutex> guard(m_mutex);
  const DWORD now = GetTickCount();
  DWORD oldest = 0;
  for (const auto& slot : m_slots) {
    if (!slot->application || slot->finished || !slot->busy) continue;
    const DWORD age = now - slot->since;
    if (age > oldest) {
      oldest = age;
      if (which) *which = slot->name + " in " + slot->operation;
    }
  }
  return oldest;
}

std::string Activity::Report(bool stacks) {
  std::vector<Slot> slots;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const auto& slot : m_slots) {
      if (!slot->finished) slots.push_back(*slot);
    }
  }
  const DWORD now = GetTickCount();
  std::string text;
  for (const Slot& slot : slots) {
    text += "  " + slot.name + ": ";
    if (slot.busy) {
      text += slot.operation + " for " + std::to_string(now - slot.since) + " ms";
    } else {
      text += "outside an operation of ours (last: " + (slot.operation.empty() ? std::string("none") : slot.operation) +
              ")";
    }
    if (!slot.note.empty()) text += ", " + slot.note;
    text += "\n";
    if (stacks) text += "    stack: " + StackOfThread(slot.threadId) + "\n";
  }
  return text;
}

void Activity::Prune() {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_slots.erase(
      std::remove_if(m_slots.begin(), m_slots.end(), [](const std::unique_ptr<Slot>& slot) { return slot->finished; }),
      m_slots.end());
}

}  // namespace kiv_stress
