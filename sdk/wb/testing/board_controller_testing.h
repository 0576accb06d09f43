// Test doubles for the board controller: a scripted clock, an edit view holding a text, and
// a loopback board service that numbers, stamps with the sender's edit id, relays and folds
// updates the way the meeting server's board service does, with queued deliveries so that
// tests choose the interleaving.
#pragma once

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "base/system/held_lock_count.h"
#include "core/white_board_net.h"
#include "wb/board_controller.h"
#include "wb/message/board_message.h"
#include "wb/message/board_net_cmd_id.h"
#include "wb/message/update_commands.h"
#include "wb/model/graph_line.h"
#include "wb/model/graph_path.h"
#include "wb/model/graph_text.h"
#include "wb/paint/edit_view.h"
#include "wb/paint/testing/recording_canvas.h"

namespace kiv_wb {

class FakeEditView : public IEditView {
 public:
  std::string text;
  bool visible = false;
  int x = 0, y = 0;
  void SetTextFont(const std::string&, int, float, uint32_t) override {}
  void SetText(const std::string& t) override { text = t; }
  void MoveTo(int px, int py, int) override { x = px, y = py; }
  std::string GetText() override { return text; }
  void SetVisible(bool v) override { visible = v; }
  void GetRect(int* l, int* t, int* r, int* b) override { *l = x, *t = y, *r = x + 100, *b = y + 30; }
  void Draw(IBoardCanvas*) override {}
};

// Records what a controller sends, and counts the sends made with a lock of the SDK held
// (tests expect none: nothing of ours is held across a call into the network).
class RecordingNet : public kiv_core::IWhiteBoardNet {
 public:
  std::vector<std::string> sent;
  int sendsUnderLock = 0;
  void NoteSend() { sendsUnderLock += ZORVANTE::HeldLockCount() != 0 ? 1 : 0; }
  void SetListener(kiv_core::IWhiteBoardNetListener*) override {}
  int SubscribeBoardStream(const char*) override { return 0; }
  int UnsubscribeBoardStream(const char*) override { return 0; }
  int SendBoardData(const char*, const uint8_t* data, uint32_t length) override {
    NoteSend();
    const char* text = reinterpret_cast<const char*>(data);
    // The terminating NUL travels with the text.
    sent.emplace_back(text, length > 0 && text[length - 1] == '\0' ? length - 1 : length);
    return 0;
  }
  int PublishBoardStream(const char*) override { return 0; }
  int SendCloseBoardReq(const char*) override { return 0; }
  int SendDocTransCodeReq(const char*) override { return 0; }
  int SendDocDownloadReq(const char*) override { return 0; }
  int SendCreateBoardReq(int, const char*, int, int, int, int, const char*, const char*) override { return 0; }
  int SendUploadDocReq(const char*, int) override { return 0; }
  int SendUploadDocEndReq(const std::string&) override { return 0; }
  int CountId(int id) const {
    int n = 0;
    for (const auto& s : sent) {
      n += ReadBoardMsgHeader(s.c_str(), s.size()).id == id ? 1 : 0;
    }
    return n;
  }
};

class LoopbackBoardService {
 public:
  struct Client : RecordingNet {
    LoopbackBoardService* service = nullptr;
    size_t index = 0;
    BoardController* controller = nullptr;
    RecordingCanvas canvas;
    std::deque<std::string> inbox;
    bool connected = true;
    int SendBoardData(const char* id, const uint8_t* data, uint32_t length) override {
      RecordingNet::SendBoardData(id, data, length);
      if (connected) {
        service->Receive(index, sent.back());
      }
      return 0;
    }
  };

  LoopbackBoardService() : m_settings(0xFFFF, nullptr), m_board(&m_settings) {}

  // Opens the board in a controller: the notice to a new subscriber follows.
  Client& Join(BoardController& controller) {
    auto client = std::make_unique<Client>();
    client->service = this;
    client->index = m_clients.size();
    client->controller = &controller;
    controller.SetBoardId("board-1", nullptr);
    controller.SetCanvas(&client->canvas);
    controller.SetNet(client.get());
    m_clients.push_back(std::move(client));
    Client& c = *m_clients.back();
    c.inbox.push_back(Notice());
    return c;
  }

  void Drop(Client& c) {
    c.connected = false;
    c.inbox.clear();
  }
  void Reconnect(Client& c) {
    c.connected = true;
    c.inbox.push_back(Notice());
  }

  bool DeliverOne(Client& c) {
    if (c.inbox.empty()) {
      return false;
    }
    const std::string text = c.inbox.front();
    c.inbox.pop_front();
    c.controller->OnNetMsg(reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1);
    return true;
  }
  void DeliverAll() {
    for (bool any = true; any;) {
      any = false;
      for (auto& c : m_clients) {
        while (DeliverOne(*c)) {
          any = true;
        }
      }
    }
  }
  Board& ServerBoard() { return m_board; }
  uint32_t Relayed() const { return m_seq; }

 private:
  std::string Notice() const { return "{\"id\":30000,\"seq_id\":" + std::to_string(m_seq) + "}"; }

  void Receive(size_t from, const std::string& text) {
    const BoardMsgHeader header = ReadBoardMsgHeader(text.c_str(), text.size());
    if (header.id == kBoardEditIdRequest) {
      m_clients[from]->inbox.push_back("{\"id\":30002,\"edit_id\":" + std::to_string(from + 1) + "}");
      return;
    }
    if (header.id == kBoardFullStateRequest) {
      m_clients[from]->inbox.push_back(FullState());
      return;
    }
    if (auto command = ParseBoardCommand(text.c_str(), text.size(), &m_board)) {
      command->Apply(m_board);
    }
    ++m_seq;
    rapidjson::Document doc;
    doc.Parse(text.c_str(), text.size());
    doc.AddMember("seq_id", m_seq, doc.GetAllocator());
    // The sender's own edit id, whatever the message claims.
    doc.RemoveMember("edit_id");
    doc.AddMember("edit_id", static_cast<int>(from + 1), doc.GetAllocator());
    const std::string relayed = Write(doc);
    for (auto& c : m_clients) {
      if (c->connected) {
        c->inbox.push_back(relayed);
      }
    }
  }

  static std::string Write(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> w(buffer);
    value.Accept(w);
    return buffer.GetString();
  }

  // Graphs as add bodies in drawing order, after the board's settings.
  std::string FullState() {
    std::string data =
        "{\"board\":{\"board_name\":\"b\",\"board_type\":0,\"width\":1280,"
        "\"height\":720,\"page\":" +
        std::to_string(m_board.GetPageCount()) + ",\"current_pid\":" + std::to_string(m_board.GetCurrentPageIndex()) +
        ",\"file_path\":\"\",\"convert_file_path\":\"\"}}";
    for (int pid = 0; pid < m_board.GetPageCount(); ++pid) {
      for (const auto& g : m_board.FindPage(pid)->GetGraphs()) {
        std::unique_ptr<BoardCommandBase> add;
        const char* type = "line";
        const int gid = static_cast<int>(g->GetId());
        if (g->GetKind() == GraphLine::kKind) {
          int x1, y1, x2, y2;
          static_cast<GraphLine&>(*g).GetPoints(&x1, &y1, &x2, &y2);
          add = std::make_unique<FourPointGraphUpdateCommand>(0, 0, pid, gid, 1, 1, g->GetBrushSize(), g->GetColor(),
                                                              x1, y1, x2, y2);
        } else if (g->GetKind() == GraphPath::kKind) {
          type = "curve";
          add = std::make_unique<PathGraphUpdateCommand>(0, 0, pid, gid, 1, g->GetBrushSize(), g->GetColor(),
                                                         static_cast<GraphPath&>(*g).GetPoints());
        } else {
          type = "text";
          add = std::make_unique<TextGraphUpdateCommand>(0, 0, pid, gid, 1, std::static_pointer_cast<GraphText>(g));
        }
        rapidjson::Document doc;
        doc.Parse(add->ToJson().c_str());
        data += std::string(",{\"") + type + "\":" + Write(doc[type]) + "}";
      }
    }
    return "{\"id\":30004,\"seq_id\":" + std::to_string(m_seq) + ",\"data\":[" + data + "]}";
  }

  EditSettings m_settings;
  Board m_board;
  uint32_t m_seq = 0;
  std::vector<std::unique_ptr<Client>> m_clients;
};

}  // namespace kiv_wb
