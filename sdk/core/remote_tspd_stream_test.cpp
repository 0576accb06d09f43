// The board stream and the whiteboard's network adapter against scripted framework components.
#include "core/streams/remote_tspd_stream.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>

#include "avcore/ids.h"
#include "base/system/callback_slot.h"
#include "common/win/unique_handle.h"
#include "core/env/testing/fake_framework.h"
#include "core/streams/stream_manager.h"
#include "core/testing/thread_latch.h"
#include "core/white_board_netimpl.h"

namespace {

struct Sender : kiv_fake::Counted<avcore::ITspdSender> {
  std::vector<std::string> sent;
  HRESULT result = 0;
  HRESULT AVCORE_CALL SendData(const void* data, int32_t length, int32_t) override {
    sent.push_back(std::string(static_cast<const char*>(data), length));
    return result;
  }
};

struct Listener : kiv_core::IRemoteTspdStreamListener {
  std::vector<std::string> got;
  int OnRemoteTspdData(const std::string& id, const uint8_t* data, uint32_t length) override {
    got.push_back(id + " " + std::string(reinterpret_cast<const char*>(data), length));
    return 0;
  }
};

struct NetListener : kiv_core::IWhiteBoardNetListener {
  std::vector<std::string> calls;
  static std::string S(const char* t) { return t ? t : "(null)"; }
  void OnBoardMediaChange(const std::string& n, const std::string& id, bool p) override {
    calls.push_back("media " + n + " " + id + " " + std::to_string(p));
  }
  void OnBoardData(const std::string& id, const uint8_t* d, uint32_t n) override {
    calls.push_back("data " + id + " " + std::string(reinterpret_cast<const char*>(d), n));
  }
  void ProcessCreateWbRsp(int seq, int result, const char* id) override {
    calls.push_back("create " + std::to_string(seq) + " " + std::to_string(result) + " " + S(id));
  }
  void OnUploadDocRsp(int code, const char* path, const char* url) override {
    calls.push_back("upload " + std::to_string(code) + " [" + S(path) + "] [" + S(url) + "]");
  }
  void OnUploadDocEndRsp(int code, const char* path) override {
    calls.push_back("uploaded " + std::to_string(code) + " [" + S(path) + "]");
  }
  void OnDocDownloadRsp(int code, const char* msg, const char* path, const char* url) override {
    calls.push_back("download " + std::to_string(code) + " " + S(msg) + " " + S(path) + " " + S(url));
  }
  void OnDocTransCodeRsp(int code, const char* converted, const char* path, int w, int h, int n) override {
    calls.push_back("converted " + std::to_string(code) + " " + S(converted) + " " + S(path) + " " + std::to_string(w) +
                    "x" + std::to_string(h) + " " + std::to_string(n));
  }
};

struct BoardStreamTest : ::testing::Test {
  void SetUp() override {
    fw.Install(&env);
    fw.connection.status = avcore::CPSTATUS_LOGINED;
    fw.connection.sendResult = 0;
  }
  kiv_fake::Framework fw;
  kiv_core::CoreEnv env;
};

// Subscribing twice asks the framework once and keeps the newer listener; data goes to it
// with the stream's key; sending needs an attached sender that accepts.
TEST_F(BoardStreamTest, SubscribeReceiveAndSend) {
  kiv_core::RemoteTspdStream stream("alice", "wb-1", "alice", 1);
  Listener first, second;
  fw.avnet.subscribeTspdResult = E_FAIL;
  EXPECT_EQ(stream.Subscribe(&first), 302);
  fw.avnet.subscribeTspdResult = S_OK;
  EXPECT_EQ(stream.Subscribe(&first), 0);
  EXPECT_EQ(stream.Subscribe(&second), 0);
  EXPECT_EQ(kiv_fake::Joined(fw.avnet.tspdCalls), "subscribe alice 4 wb-1 alice, subscribe alice 4 wb-1 alice");
  EXPECT_EQ(fw.avnet.tspdReceiver, &stream);
  EXPECT_EQ(stream.OnTspData("abc", 3), 0);
  EXPECT_TRUE(first.got.empty());
  EXPECT_EQ(second.got, std::vector<std::string>{"wb-1 abc"});

  EXPECT_EQ(stream.SendData("x", 2), 302) << "no sender yet";
  Sender sender;
  EXPECT_EQ(stream.AttachSender(&sender), 0);
  EXPECT_EQ(stream.SendData("x", 2), 0);
  EXPECT_EQ(sender.sent, std::vector<std::string>{std::string("x\0", 2)});
  sender.result = 1;
  EXPECT_EQ(stream.SendData("y", 2), 302);
  EXPECT_EQ(stream.DetachSender(nullptr), 0);
  EXPECT_EQ(stream.SendData("z", 2), 302);

  void* out = nullptr;
  EXPECT_EQ(stream.QueryInterface(IID_IUnknown, &out), E_FAIL);
  EXPECT_EQ(stream.QueryInterface(avcore::IID_ITspDataReceiver, &out), S_OK);
  EXPECT_EQ(out, static_cast<avcore::ITspDataReceiver*>(&stream));
  EXPECT_EQ(stream.AddRef(), 1u);
  EXPECT_EQ(stream.Release(), 1u);
}

// Unsubscribing always asks the framework, reports its failure and forgets the listener.
TEST_F(BoardStreamTest, UnsubscribeForgetsTheListener) {
  kiv_core::RemoteTspdStream stream("", "wb-2", "", 3);
  fw.avnet.stopTspdResult = E_FAIL;
  EXPECT_EQ(stream.UnSubscribe(), 302) << "never subscribed, the framework is still asked";
  Listener l;
  fw.avnet.stopTspdResult = S_OK;
  ASSERT_EQ(stream.Subscribe(&l), 0);
  EXPECT_EQ(stream.UnSubscribe(), 0);
  EXPECT_FALSE(stream.IsSubscribed());
  EXPECT_EQ(stream.OnTspData("late", 4), 0);
  EXPECT_TRUE(l.got.empty());
  EXPECT_EQ(kiv_fake::Joined(fw.avnet.tspdCalls), "stop  wb-2, subscribe  4 wb-2 , stop  wb-2");
}

// Requests carry their members in order; a create of a blank board has no document paths;
// nothing is sent while not logged in; refusals by the connection give 302.
TEST_F(BoardStreamTest, AdapterRequests) {
  kiv_core::WhiteBoardNetImpl net;
  EXPECT_EQ(net.SendCreateBoardReq(1, "plan", 0, 1280, 720, 2, "", ""), 0);
  EXPECT_EQ(net.SendCreateBoardReq(2, "doc", 1, 800, 600, 5, "", ""), 0);
  EXPECT_EQ(net.SendCloseBoardReq("wb-1"), 0);
  EXPECT_EQ(net.SendUploadDocReq("/g1/plan.pdf", 42), 0);
  ASSERT_EQ(fw.connection.sent.size(), 4u);
  EXPECT_EQ(fw.connection.sent[0], R"({"business":"WBS","id":19000,"cli_seq_id":1,"board_name":"plan","board_type":0,)"
                                   R"("width":1280,"height":720,"page":2})");
  EXPECT_EQ(fw.connection.sent[1], R"({"business":"WBS","id":19000,"cli_seq_id":2,"board_name":"doc","board_type":1,)"
                                   R"("width":800,"height":600,"page":5,"file_path":"","convert_file_path":""})");
  EXPECT_EQ(fw.connection.sent[2], R"({"business":"WBS","id":19002,"board_id":"wb-1"})");
  EXPECT_EQ(fw.connection.sent[3], R"({"business":"STORE","id":20000,"file_path":"/g1/plan.pdf","file_size":42})");
  fw.connection.sendResult = 1;
  EXPECT_EQ(net.SendDocTransCodeReq("/g1/plan.pdf"), 302);
  fw.connection.status = avcore::CPSTATUS_CONNECTED;
  EXPECT_EQ(net.SendDocDownloadReq("/a/b/0.jpg"), 31);
  EXPECT_EQ(net.SubscribeBoardStream("wb-1"), 31);
  EXPECT_EQ(net.PublishBoardStream("wb-1"), 31);
  EXPECT_EQ(fw.connection.sent.size(), 5u);
}

// Board streams through the stream manager: data of a stream never subscribed cannot be
// sent; a subscribed one delivers to the listener under its key; unsubscribing removes it.
TEST_F(BoardStreamTest, AdapterStreams) {
  kiv_core::StreamManager streams;
  kiv_core::WhiteBoardNetImpl net;
  net.Init(&streams);
  NetListener l;
  net.SetListener(&l);
  EXPECT_EQ(net.SendBoardData("wb-1", reinterpret_cast<const uint8_t*>("x"), 2), 302);
  EXPECT_EQ(net.SubscribeBoardStream("wb-1"), 0);
  ASSERT_NE(fw.avnet.tspdReceiver, nullptr);
  EXPECT_EQ(net.SendBoardData("wb-1", reinterpret_cast<const uint8_t*>("x"), 2), 302) << "no sender yet";
  Sender sender;
  fw.avnet.tspdReceiver->AttachSender(&sender);
  EXPECT_EQ(net.SendBoardData("wb-1", reinterpret_cast<const uint8_t*>("x"), 2), 0);
  fw.avnet.tspdReceiver->OnTspData("{}", 2);
  EXPECT_EQ(kiv_fake::Joined(l.calls), "data wb-1 {}");
  EXPECT_EQ(net.UnsubscribeBoardStream("wb-1"), 0);
  EXPECT_EQ(streams.FindRemoteTspdStream("wb-1"), nullptr);
  EXPECT_EQ(net.UnsubscribeBoardStream("wb-1"), 0);
  net.OnMediaChange("plan", "wb-1", true);
  net.Uninit();
  net.OnMediaChange("plan", "wb-1", false);
  EXPECT_EQ(kiv_fake::Joined(l.calls), "data wb-1 {}, media plan wb-1 1");

  kiv_core::WhiteBoardNetImpl early;
  env.m_baseCoreInited = false;
  early.Init(&streams);
  EXPECT_EQ(early.GetStreamManager(), nullptr);
}

// Replies are read member by member with defaults, selected by id alone.
TEST_F(BoardStreamTest, AdapterReplies) {
  kiv_core::WhiteBoardNetImpl net;
  NetListener l;
  net.SetListener(&l);
  auto offer = [&](const char* business, int id, const char* json) {
    rapidjson::Document d;
    d.Parse(json);
    return net.ProcessCpBusinessCmd(business, id, d);
  };
  EXPECT_TRUE(offer("WBS", 19001, R"({"cli_seq_id":3,"result":0,"board_id":"wb-7"})"));
  EXPECT_TRUE(offer("WBS", 19001, R"({"result":40})"));
  EXPECT_TRUE(offer("STORE", 20001, R"({"code":5,"data":{"file_path":"/g/a","url":"http://x"}})"));
  EXPECT_TRUE(offer("WBS", 20001, R"({"code":0,"data":{"file_path":"/g/a","url":"http://x"}})"));
  EXPECT_TRUE(offer("STORE", 20003, R"({"code":7,"data":{"file_path":"/g/a"}})"));
  EXPECT_TRUE(offer("STORE", 20007, R"({"code":9,"msg":"no","data":{"file_path":"/a/b/1.jpg","url":"u"}})"));
  EXPECT_TRUE(offer("DC", 21001, R"({"code":0})"));
  EXPECT_TRUE(offer("DC", 21001, R"({"code":3,"msg":"bad"})"));
  EXPECT_TRUE(offer("DC", 21001,
                    R"({"code":0,"data":{"convert_file_path":"/a/b","file_path":"/g/a",)"
                    R"("width":800,"height":600,"convert_counts":4}})"));
  EXPECT_TRUE(offer("STORE", 20005, "{}"));
  EXPECT_TRUE(offer("DC", 21003, "{}"));
  EXPECT_FALSE(offer("WBS", 19003, "{}"));
  EXPECT_FALSE(offer("GS", 19001, "{}"));
  EXPECT_EQ(kiv_fake::Joined(l.calls),
            "create 3 0 wb-7, create -1 40 (null), upload 5 [] [], upload 0 [/g/a] [http://x], "
            "uploaded 7 [/g/a], download 9 no /a/b/1.jpg u, converted 3 (null) (null) 0x0 0, "
            "converted 0 /a/b /g/a 800x600 4");
}

// Holds a board delivery in the listener, then sends on the same board from inside it (a
// reply to the data received).
struct ReplyingListener : NetListener {
  kiv_core::WhiteBoardNetImpl* net = nullptr;
  kiv_test::ThreadLatch latch;
  int sent = -1;
  void OnBoardData(const std::string& id, const uint8_t*, uint32_t) override {
    latch.Arrive();
    sent = net->SendBoardData(id.c_str(), reinterpret_cast<const uint8_t*>("ack"), 3);
  }
};

// The streams destroyed while a board delivery is in the listener: the stop waits for the
// delivery, which sends on its board through the stream manager. The stop runs with the
// manager's lock released, so the delivery's send ends (finding no stream) and so does the
// destruction.
TEST_F(BoardStreamTest, StreamsDestroyedDuringBoardDelivery) {
  kiv_core::StreamManager streams;
  kiv_core::WhiteBoardNetImpl net;
  net.Init(&streams);
  ReplyingListener l;
  l.net = &net;
  net.SetListener(&l);
  ASSERT_EQ(net.SubscribeBoardStream("wb-1"), 0);
  avcore::ITspDataReceiver* receiver = fw.avnet.tspdReceiver;
  ASSERT_NE(receiver, nullptr);
  Sender sender;
  receiver->AttachSender(&sender);
  const kiv_common::UniqueHandle delivered(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE done = delivered.get();
  std::thread delivery([&] {
    (void)receiver->OnTspData("{}", 2);
    SetEvent(done);
  });
  l.latch.WaitArrived();
  // The framework's stop lets the delivery go on and waits for it, as the channel does.
  bool deliveryEnded = false;
  fw.avnet.onStopTspd = [&] {
    l.latch.Release();
    deliveryEnded = WaitForSingleObject(done, 10000) == WAIT_OBJECT_0;
  };
  streams.DestroyStreams();
  fw.avnet.onStopTspd = nullptr;
  l.latch.Release();
  delivery.join();
  EXPECT_TRUE(deliveryEnded) << "the stop waited for a delivery that waits for the stream manager's lock";
  EXPECT_EQ(l.sent, 302) << "the board's stream had left the table";
  EXPECT_TRUE(sender.sent.empty());
  net.Uninit();
}

HANDLE g_replacerWaits = nullptr;

// The listener replaced while a board delivery runs on it: the replacement returns only once
// the delivery has left the old listener (which may then go), and the next delivery reaches
// the new one.
TEST_F(BoardStreamTest, ListenerReplacedDuringDelivery) {
  kiv_core::StreamManager streams;
  kiv_core::WhiteBoardNetImpl net;
  net.Init(&streams);
  struct HeldListener : NetListener {
    kiv_test::ThreadLatch latch;
    void OnBoardData(const std::string& id, const uint8_t* d, uint32_t n) override {
      latch.Arrive();
      NetListener::OnBoardData(id, d, n);
    }
  } old;
  NetListener next;
  net.SetListener(&old);
  ASSERT_EQ(net.SubscribeBoardStream("wb-1"), 0);
  avcore::ITspDataReceiver* receiver = fw.avnet.tspdReceiver;
  ASSERT_NE(receiver, nullptr);
  std::thread delivery([&] { (void)receiver->OnTspData("{}", 2); });
  old.latch.WaitArrived();
  const kiv_common::UniqueHandle waits(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const kiv_common::UniqueHandle replaced(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  g_replacerWaits = waits.get();
  ZORVANTE::CallsInFlight::SetWaitObserver([] { SetEvent(g_replacerWaits); });
  std::thread replacer([&] {
    net.SetListener(&next);
    SetEvent(replaced.get());
  });
  const HANDLE either[2] = {waits.get(), replaced.get()};
  EXPECT_EQ(WaitForMultipleObjects(2, either, FALSE, 10000), WAIT_OBJECT_0)
      << "the listener was replaced while a call on it was still running";
  EXPECT_EQ(WaitForSingleObject(replaced.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ZORVANTE::CallsInFlight::SetWaitObserver(nullptr);
  old.latch.Release();
  delivery.join();
  replacer.join();
  (void)receiver->OnTspData("x", 1);
  EXPECT_EQ(kiv_fake::Joined(old.calls), "data wb-1 {}");
  EXPECT_EQ(kiv_fake::Joined(next.calls), "data wb-1 x");
  net.Uninit();
}

// Unsubscribing a board stream works logged out too: a board closed after the connection
// dropped is not fed any more.
TEST_F(BoardStreamTest, UnsubscribeWhileLoggedOut) {
  kiv_core::StreamManager streams;
  kiv_core::WhiteBoardNetImpl net;
  net.Init(&streams);
  NetListener l;
  net.SetListener(&l);
  ASSERT_EQ(net.SubscribeBoardStream("wb-1"), 0);
  avcore::ITspDataReceiver* receiver = fw.avnet.tspdReceiver;
  fw.connection.status = avcore::CPSTATUS_UNCONNECT;
  EXPECT_EQ(net.UnsubscribeBoardStream("wb-1"), 0);
  EXPECT_EQ(streams.FindRemoteTspdStream("wb-1"), nullptr);
  EXPECT_EQ(receiver->OnTspData("late", 4), 0);
  EXPECT_TRUE(l.calls.empty());
  net.Uninit();
}

}  // namespace
