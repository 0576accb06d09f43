// JSON member readers with defaults. The first argument is always a JSON object.
#pragma once

#include <rapidjson/document.h>

// The member when it holds an integer that fits 32 signed bits, else the default.
int GetJsonInt(const rapidjson::Value& object, const char* name, int defaultValue);

// The member when it holds an integer that fits 32 unsigned bits, else the default.
unsigned GetJsonUint(const rapidjson::Value& object, const char* name, unsigned defaultValue);

// The member's characters when it is a string, else null; valid while the document lives.
const char* GetJsonString(const rapidjson::Value& object, const char* name);
