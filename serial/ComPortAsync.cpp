#include "serial/ComPortAsync.h"

#include "serial/ComBackend.h"

#include <chrono>

namespace memvane {

TCPortAsync::TCPortAsync() = default;

TCPortAsync::~TCPortAsync()
{
    // A transfer without timeouts could wait for ever: end it rather than wait for it. The
    // abort is repeated because the transfer may not have reached the device at the first one.
    if (m_transfer && m_transfer->worker.joinable() && m_transfer->device) {
        while (!m_transfer->completed) {
            m_transfer->device->purge(Kind == okRead ? PURGE_RXABORT : PURGE_TXABORT);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    finish();
}

void TCPortAsync::finish()
{
    if (m_transfer && m_transfer->worker.joinable())
        m_transfer->worker.join();
}

} // namespace memvane
