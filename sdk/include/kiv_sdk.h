// Everything an application of kiv_sdk includes.
#pragma once

#include "kiv_engine.h"
#include "kiv_exports.h"
