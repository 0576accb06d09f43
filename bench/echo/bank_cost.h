// Cost of the spectral transforms and the filter banks per 20 ms frame.
#pragma once

void PrintBankCost();
