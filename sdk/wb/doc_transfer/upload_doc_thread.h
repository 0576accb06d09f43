// The document upload thread: PUTs the local document to the upload address, reports event 4
// (uploaded) or 5 (failed) and, once uploaded, tells the server that the upload has ended.
#pragma once

#include "wb/doc_transfer/upload_doc_profile.h"

namespace kiv_wb {

class BoardEngine;

// Runs on a thread of the board engine's, which joins it before the engine goes.
void UploadDocThread(BoardEngine* engine, UploadDocProfile profile);

}  // namespace kiv_wb
