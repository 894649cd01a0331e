#pragma once
// A PortIo for unit tests: a shared CI-V line without a wire. Every write comes back as its echo
// (unless `echo` is off), followed by what `respond` answers for the frame. An answer may also
// hold pieces that arrive one after the other while the exchange waits (all of them during the
// fixed wait, one per wait for input), and bytes that arrive only after the exchange's wait has
// ended ("late"), which then wait in the queue like real late bytes. The port records every call
// in `calls` and every frame in `frames`.

#include "civ/Codec.h"
#include "civ/PortIo.h"
#include "tests/support/HexText.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace memvane::test {

struct Reply
{
    std::string now;                      // arrives within the exchange's wait, with the echo
    std::string late;                     // arrives after the exchange's wait has ended
    std::vector<std::string> pieces = {}; // arrive within the wait, after `now`, one at a time
};

class ScriptedPort : public PortIo
{
public:
    std::function<Reply(const std::string& frame)> respond = [](const std::string&) {
        return Reply{};
    };
    bool echo = true;
    std::string queue;               // bytes waiting to be read
    std::vector<std::string> frames; // hex text of every frame written
    std::vector<std::string> calls;  // "open", "clear", "write <hex>", "sleep <ms>", "read <n>",
                                     // "wait" (for input; "wait: deadline" when it timed out)
    bool canWait = true;             // false: a line that cannot wait for input
    std::function<void()> onOpen;    // e.g. throw to simulate a port that cannot open

    void ensureOpen() override
    {
        calls.push_back("open");
        if (onOpen)
            onOpen();
    }
    void clearBuffers() override
    {
        calls.push_back("clear");
        queue.clear();
        m_pieces.clear();
    }
    int write(const std::string& bytes) override
    {
        std::string hex = toHexText(bytes);
        calls.push_back("write " + hex);
        frames.push_back(hex);
        if (echo)
            queue += bytes;
        Reply r = respond(bytes);
        queue += r.now;
        m_pieces = r.pieces;
        m_late = r.late;
        m_waitOver = false;
        return static_cast<int>(bytes.size());
    }
    std::string read(int maxCount) override
    {
        calls.push_back("read " + std::to_string(maxCount));
        size_t n = std::min(queue.size(), static_cast<size_t>(maxCount));
        std::string out = queue.substr(0, n);
        queue.erase(0, n);
        if (m_waitOver) {
            queue += m_late;
            m_late.clear();
        }
        return out;
    }
    void sleepMs(int ms) override
    {
        calls.push_back("sleep " + std::to_string(ms));
        for (const std::string& p : m_pieces)
            queue += p;
        m_pieces.clear();
        m_waitOver = true;
    }
    InputWait waitForInput(int) override
    {
        if (!canWait) {
            calls.push_back("wait");
            return InputWait::Unsupported;
        }
        if (queue.empty() && !m_pieces.empty()) {
            queue += m_pieces.front();
            m_pieces.erase(m_pieces.begin());
        }
        m_waitOver = queue.empty();
        calls.push_back(m_waitOver ? "wait: deadline" : "wait");
        return m_waitOver ? InputWait::TimedOut : InputWait::Arrived;
    }
    // Bytes that have not been read yet, arrived or still to come.
    std::string unread() const
    {
        std::string all = queue;
        for (const std::string& p : m_pieces)
            all += p;
        return all + m_late;
    }

private:
    std::vector<std::string> m_pieces;
    std::string m_late;
    bool m_waitOver = false;
};

} // namespace memvane::test
