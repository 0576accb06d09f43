// Sends one local file to an address with a single HTTP PUT (libcurl), within 5 s.
#pragma once

#include <string>

#include "wb/doc_transfer/upload_file_slot.h"

namespace kiv_wb {

// 0 sent; 1 an argument is empty; 302 the file cannot be opened or the transfer failed. The
// open file is kept in `slot` during the transfer.
int HttpPutFile(UploadFileSlot& slot, const std::string& address, const std::string& localPath, int size);

// Called before every read of an upload's file, on the uploading thread (tests hold a transfer
// there); none by default. Returns the hook it replaces.
using UploadReadHook = void (*)();
UploadReadHook SetUploadReadHook(UploadReadHook hook);

}  // namespace kiv_wb
