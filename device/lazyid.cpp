#include "device/lazyid.h"

#include <wx/utils.h>

#include <mutex>

LazyId::operator int() const
{
    const int id = m_id.load(std::memory_order_acquire);
    if (id != 0)
        return id;
    // The toolkit's counter is a plain variable, and a first read may come
    // from a worker thread: every id of the program is taken under this one
    // lock.
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    if (m_id.load(std::memory_order_relaxed) == 0)
        m_id.store(wxNewId(), std::memory_order_release);
    return m_id.load(std::memory_order_relaxed);
}
