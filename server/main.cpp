// meeting_server: the control-plane server of the meeting system (options in server_app.h).
#include "server/server_app.h"

int main(int argc, char** argv) { return kiv_server::RunMeetingServer(argc, argv, {}); }
