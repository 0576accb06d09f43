// meeting_server_testing: the meeting server with the tests' fault switches.
//   --page-get-faults N[:reset|stall]   the first N page-image GETs fail as transfer errors
#include "server/documents/testing/page_get_faults.h"
#include "server/server_app.h"

int main(int argc, char** argv) {
  kiv_server::PageGetFaults page_get_faults;
  kiv_server::ServerExtras extras;
  extras.option = [&page_get_faults](const std::string& name, const char* value) {
    return name == "--page-get-faults" && kiv_server::PageGetFaults::Parse(value, &page_get_faults);
  };
  extras.usage = "                      [--page-get-faults N[:reset|stall]]\n";
  extras.page_delivery = &page_get_faults;
  return kiv_server::RunMeetingServer(argc, argv, extras);
}
