// Gives board windows the GDI+ canvas (installs the board window's canvas hooks).
#pragma once

namespace kiv_wb {

void InstallGdipCanvasHooks();

}  // namespace kiv_wb
