// Keeps the application's reports on one remote video in order with what is posted to the
// window thread for it. Once a removal (or a report) waits there, the video's later reports
// are posted behind it, so that a "published" never reaches the application before the
// withdrawn stream's removal has run and the removal never takes a stream the application
// set up for the new publication.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace kiv {

class RemoteVideoOrder {
 public:
  using Video = std::pair<std::string, std::string>;  // user id, video id

  // Counts something posted for the video.
  void Posted(const Video& video);
  // Counts a posted item that has run, or that could not be posted after all.
  void Done(const Video& video);
  // True when something is still posted for the video: the report must be posted behind
  // it, and is counted as posted.
  bool QueueBehindPending(const Video& video);

 private:
  std::mutex m_mutex;
  std::map<Video, int> m_pending;  // only videos with something posted
};

}  // namespace kiv
