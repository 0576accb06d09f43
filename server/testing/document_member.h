// A member of a group that speaks the document businesses, for the document service's
// tests and benchmark: business requests over a native client session, uploads by PUT.
#pragma once

#include <rapidjson/document.h>

#include <string>

#include "server/testing/server_process.h"
#include "server/testing/test_client.h"

namespace kiv_test {

class DocumentMember {
 public:
  bool Join(const ServerProcess& server, const std::string& user, const std::string& group = "g1");

  // Sends {"business","id",...fields}; false when it is not valid JSON or not sent.
  bool Send(const char* business, int id, const std::string& fields);
  // Waits for a business message with that id (a null document when none came).
  rapidjson::Document Receive(int id, int timeout_ms = 10000);
  // Sends and waits for the answer (id + 1).
  rapidjson::Document Ask(const char* business, int id, const std::string& fields, int timeout_ms = 10000);

  // 20000 for the file's bytes under `path`, their PUT, then 20002: the 20003 answer's
  // code, or the first failing step's (-1 when unanswered, the HTTP status when not 200).
  int Upload(const std::string& file, const std::string& path);

  // "file_path":"<path>" as a JSON member text (escaped).
  static std::string PathField(const std::string& path);
  // The "code" of an answer, -1 when it has none.
  static int Code(const rapidjson::Value& answer);

  TestClient client;
};

std::string ReadWholeFile(const std::string& path);

}  // namespace kiv_test
