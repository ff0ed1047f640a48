#include "core/wait_cursor.h"

#include <cstdint>
#include <mutex>

namespace lumesta {
namespace {

std::mutex& CounterLock()
{
    static std::mutex lock;
    return lock;
}

std::int32_t g_activeScopes = 0;

}  // namespace

WaitCursorScope::WaitCursorScope(Host& host) : m_host(host)
{
    m_host.SetBusyCursor(true);
    std::lock_guard<std::mutex> guard(CounterLock());
    ++g_activeScopes;
}

WaitCursorScope::~WaitCursorScope()
{
    {
        std::lock_guard<std::mutex> guard(CounterLock());
        --g_activeScopes;
    }
    m_host.SetBusyCursor(false);
}

bool WaitCursorScope::IsBusy()
{
    std::lock_guard<std::mutex> guard(CounterLock());
    return g_activeScopes > 0;
}

}  // namespace lumesta
