#include "server/testing/document_member.h"

#include <fstream>
#include <sstream>

#include "protocol/messages/document_messages.h"
#include "protocol/wire/wire_message.h"
#include "server/testing/raw_http.h"

namespace kiv_test {

using namespace kiv_proto;

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool DocumentMember::Join(const ServerProcess& server, const std::string& user, const std::string& group) {
  return client.LoginAndJoin(server.address(), user, group);
}

bool DocumentMember::Send(const char* business, int id, const std::string& fields) {
  rapidjson::Document body;
  const std::string text = std::string("{\"business\":\"") + business + "\",\"id\":" + std::to_string(id) +
                           (fields.empty() ? "" : "," + fields) + "}";
  body.Parse(text.data(), text.size());
  return !body.HasParseError() && client.session.SendBusiness(body) == 0;
}

rapidjson::Document DocumentMember::Receive(int id, int timeout_ms) {
  rapidjson::Document answer;
  SessionEvent e;
  if (client.events.Wait("business", &e, timeout_ms, [id](const SessionEvent& ev) { return ev.code == id; })) {
    answer.Parse(e.body.c_str());
  }
  return answer;
}

rapidjson::Document DocumentMember::Ask(const char* business, int id, const std::string& fields, int timeout_ms) {
  if (!Send(business, id, fields)) return rapidjson::Document();
  return Receive(id + 1, timeout_ms);
}

int DocumentMember::Upload(const std::string& file, const std::string& path) {
  const std::string bytes = ReadWholeFile(file);
  rapidjson::Document r =
      Ask(kBusinessStore, kStoreUpload, PathField(path) + ",\"file_size\":" + std::to_string(bytes.size()));
  if (Code(r) != kDocOk) return Code(r);
  RawHttpRequest put;
  put.method = "PUT";
  put.url = r["data"]["url"].GetString();
  put.body = bytes;
  const RawHttpAnswer a = RawHttp(put);
  if (a.status != 200) return a.status;
  return Code(Ask(kBusinessStore, kStoreUploadEnd, PathField(path)));
}

std::string DocumentMember::PathField(const std::string& path) {
  rapidjson::Document d(rapidjson::kObjectType);
  d.AddMember("file_path",
              rapidjson::Value(path.data(), static_cast<rapidjson::SizeType>(path.size()), d.GetAllocator()),
              d.GetAllocator());
  const std::string json = ToJson(d);
  return json.substr(1, json.size() - 2);
}

int DocumentMember::Code(const rapidjson::Value& answer) {
  return answer.IsObject() && answer.HasMember("code") && answer["code"].IsInt() ? answer["code"].GetInt() : -1;
}

}  // namespace kiv_test
