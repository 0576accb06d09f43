// The observer through which any open menu closes every menu (wParam 1) or the menus
// below one window (wParam 2).
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

namespace DuiLib {

struct ContextMenuParam {
  WPARAM wParam = 0;  // 1 close every menu, 2 close the menus below hWnd
  HWND hWnd = nullptr;
};

template <class ReturnT, class ParamT>
class ReceiverImplBase;

template <class ReturnT, class ParamT>
class ObserverImplBase {
 public:
  virtual void AddReceiver(ReceiverImplBase<ReturnT, ParamT>* receiver) = 0;
  virtual void RemoveReceiver(ReceiverImplBase<ReturnT, ParamT>* receiver) = 0;
  virtual ReturnT Broadcast(ParamT param) = 0;
  virtual ReturnT RBroadcast(ParamT param) = 0;
  virtual ReturnT Notify(ParamT param) = 0;
  virtual ~ObserverImplBase() = default;
};

template <class ReturnT, class ParamT>
class ReceiverImplBase {
 public:
  virtual void AddObserver(ObserverImplBase<ReturnT, ParamT>* observer) = 0;
  virtual void RemoveObserver() = 0;
  virtual ReturnT Receive(ParamT param) = 0;
  virtual ReturnT Respond(ParamT param, ObserverImplBase<ReturnT, ParamT>* observer) = 0;
  virtual ~ReceiverImplBase() = default;
};

template <class ReturnT, class ParamT>
class ObserverImpl : public ObserverImplBase<ReturnT, ParamT> {
 public:
  using Receiver = ReceiverImplBase<ReturnT, ParamT>;

  void AddReceiver(Receiver* receiver) override {
    if (!receiver) return;
    m_receivers.push_back(receiver);
    receiver->AddObserver(this);
  }
  void RemoveReceiver(Receiver* receiver) override {
    auto it = std::find(m_receivers.begin(), m_receivers.end(), receiver);
    if (it != m_receivers.end()) m_receivers.erase(it);
  }
  // Receivers may remove themselves while they are told: walk a copy.
  ReturnT Broadcast(ParamT param) override {
    const std::vector<Receiver*> copy = m_receivers;
    for (Receiver* r : copy) {
      if (Listed(r)) r->Receive(param);
    }
    return ReturnT();
  }
  ReturnT RBroadcast(ParamT param) override {
    const std::vector<Receiver*> copy = m_receivers;
    for (auto it = copy.rbegin(); it != copy.rend(); ++it) {
      if (Listed(*it)) (*it)->Receive(param);
    }
    return ReturnT();
  }
  ReturnT Notify(ParamT param) override {
    const std::vector<Receiver*> copy = m_receivers;
    for (Receiver* r : copy) {
      if (Listed(r)) r->Respond(param, this);
    }
    return ReturnT();
  }
  const std::vector<Receiver*>& Receivers() const { return m_receivers; }

 private:
  bool Listed(Receiver* r) const { return std::find(m_receivers.begin(), m_receivers.end(), r) != m_receivers.end(); }

  std::vector<Receiver*> m_receivers;
};

template <class ReturnT, class ParamT>
class ReceiverImpl : public ReceiverImplBase<ReturnT, ParamT> {
 public:
  using Observer = ObserverImplBase<ReturnT, ParamT>;

  void AddObserver(Observer* observer) override { m_observers.push_back(observer); }
  void RemoveObserver() override {
    for (Observer* o : m_observers) o->RemoveReceiver(this);
    m_observers.clear();
  }
  ReturnT Receive(ParamT) override { return ReturnT(); }
  ReturnT Respond(ParamT, Observer*) override { return ReturnT(); }

 private:
  std::vector<Observer*> m_observers;
};

using ContextMenuObserver = ObserverImpl<BOOL, ContextMenuParam>;
using ContextMenuReceiver = ReceiverImpl<BOOL, ContextMenuParam>;

}  // namespace DuiLib
