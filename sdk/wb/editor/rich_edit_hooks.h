// Gives board windows the rich-edit text editor (installs the board window's editor hooks).
// The editor measures text with the GDI+ canvas, so the canvas hooks come with it.
#pragma once

namespace kiv_wb {

void InstallRichEditHooks();

}  // namespace kiv_wb
