#include "core/core_env.h"

namespace kiv_core {

namespace {
CoreEnv* g_instance = nullptr;
}

CoreEnv::CoreEnv() { g_instance = this; }

CoreEnv::~CoreEnv() {
    ReleaseBaseCore();
    if (g_instance == this) g_instance = nullptr;
}

CoreEnv* CoreEnv::Instance() { return g_instance; }

bool CoreEnv::IsBaseCoreInited() { return g_instance && g_instance->m_baseCoreInited; }

bool CoreEnv::IsConnected() {
    return g_instance && g_instance->m_connection &&
           g_instance->m_connection->GetStatus() >= avcore::CPSTATUS_CONNECTED;
}

bool CoreEnv::IsLogined() {
    return g_instance && g_instance->m_connection &&
           g_instance->m_connection->GetStatus() == avcore::CPSTATUS_LOGINED;
}

bool CoreEnv::CreateBaseCore(const std::string&, const std::string&, const std::string&) {
    // The framework loader is not bound yet: behave as when no framework is found.
    ReleaseBaseCore();
    return false;
}

void CoreEnv::ReleaseBaseCore() { m_baseCoreInited = false; }

void CoreEnv::LoadAvPlugins(const std::string&) {}

}  // namespace kiv_core
