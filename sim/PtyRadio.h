#pragma once
// The simulated radio on a pseudo-terminal. The program (or rigctl, or a test) opens the slave
// side like a serial port; the radio keeps the master side and serves it from its own thread.
//
// How it works:
//  - The constructor creates the pty (raw mode, no echo or other processing by the tty layer),
//    optionally makes a symlink to the slave, and starts the thread. The radio keeps one fd of
//    the slave open itself so the master never sees a hang-up while no client is attached (a
//    closed slave would make poll() report POLLHUP forever).
//  - The thread waits in poll() on the master and an eventfd, with a timeout only when a reply
//    is due; it never spins. Every byte read from the master is written back at once (the
//    shared CI-V line echoes everything), then fed to the RadioModel; the radio's answer goes
//    out `delayMs` later (late-reply fault: `lateMs` later).
//  - With `lineRate` the radio keeps the pace of a real line of that many bits per second (ten
//    bits a byte): the bytes a client writes reach the pty at once, so the radio lets each of
//    them take its turn on the line and echoes it when its turn ends; the answer follows
//    `delayMs` after the command's last byte, byte by byte at the same pace. Everything it sends
//    shares the one line, as on the CI-V bus.
//  - Bytes the client does not read pile up in the pty (a few kB); beyond that they are
//    dropped, as on a real line nobody listens to.
//  - A hang-up closes the master (every client fd sees EIO / POLLHUP); with reopen a new pty is
//    made and the link is pointed at it. Without reopen the link is removed until reopen().
//  - Every public function is thread-safe. Callbacks run on the radio thread without the lock
//    held: keep them short, and never call hangUp() or reopen() from them (they wait for that
//    thread).
//  - The destructor stops the thread (join; bounded by one poll round), closes the pty and
//    removes the link it made.

#include "sim/RadioModel.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace memvane::sim {

struct PtyRadioOptions
{
    std::uint8_t address = 0x58;
    int delayMs = 5;      // reply delay: well inside the program's 45 ms wait
    int lineRate = 0;     // bits per second of the simulated line; 0: the pty's own speed
    std::string linkPath; // symlink to the slave, made at start, removed at the end
    std::string logPath;  // file that gets every frame received as a hex text line
};

class PtyRadio
{
public:
    // Throws std::system_error when the pty, the link or the log file cannot be made.
    explicit PtyRadio(const PtyRadioOptions& options = {});
    ~PtyRadio();
    PtyRadio(const PtyRadio&) = delete;
    PtyRadio& operator=(const PtyRadio&) = delete;

    // /dev/pts/N of the current pty (a new one after a hang-up with reopen); empty while hung up.
    std::string slavePath() const;
    std::string linkPath() const { return m_options.linkPath; }
    // The link when there is one, else the slave.
    std::string portPath() const;

    // Runs f on the model under the radio's lock: inspect or change memories and state. The
    // model's frame observer belongs to the radio (log file, waitForFrames); leave it alone.
    template <class F> auto withModel(F&& f)
    {
        std::lock_guard lock(m_mutex);
        return f(m_model);
    }

    std::vector<std::string> frameLog() const;
    void clearFrameLog();
    // Waits until at least `count` frames are in the log; false on timeout.
    bool waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const;

    // Faults.
    void setDelayMs(int ms);
    void setLateMs(int ms);   // > 0: every reply comes this late; 0: on time
    void setSilent(bool on);  // switched off: echo only, no answer, nothing carried out
    void setGarbage(bool on); // noise bytes before every reply
    void refuse(Refusal refusal);
    void clearRefusals();
    // Closes the master; with reopen a new pty replaces it at once. Returns when done.
    void hangUp(bool reopen = false);
    void reopen();
    bool hungUp() const;
    // Hangs up by itself when the `frames`-th frame from now has arrived, before answering it
    // (the line dies in the middle of an exchange); with reopen a new pty follows at once.
    // 0 cancels.
    void hangUpAfter(std::size_t frames, bool reopen = false);

    // Output on request.
    void send(const std::string& bytes); // raw bytes onto the line, now
    void broadcastFrequency();
    void broadcastMode();
    void setTransceive(bool on); // broadcast whenever frequency or mode change
    // Front panel; broadcasts when transceive is on.
    void tune(std::uint64_t hz);
    void selectMode(std::uint8_t mode, std::uint8_t filter);

    // Called on the radio thread after a command frame that wrote a memory.
    void setMemoryWriteCallback(std::function<void()> callback);
    // Called on the radio thread after a reopen with the new slave path, before hangUp(true) or
    // reopen() return.
    void setReopenCallback(std::function<void(const std::string& slave)> callback);

    std::uint64_t droppedBytes() const;

    // The last command that got an answer: when the radio read it off the pty, and when the
    // answer's last byte went out (empty while it is still due). Lets a test of the program's
    // real wait tell a late radio from a busy machine.
    struct AnswerTimes
    {
        std::chrono::steady_clock::time_point heard;
        std::optional<std::chrono::steady_clock::time_point> sent;
    };
    std::optional<AnswerTimes> lastAnswer() const;

    // The noise sent before every reply in the garbage fault. It holds no frame and no FD that a
    // reader could take for the end of a frame it expects.
    static const std::string kGarbage;

private:
    using Clock = std::chrono::steady_clock;
    struct Pending
    {
        Clock::time_point due;
        std::string bytes;
        bool endsAnswer = false;
    };

    void openPty();  // thread or constructor; m_mutex not held
    void closePty(); // same
    void run();
    void wake();
    void readMaster();
    void writeMaster(const std::string& bytes);
    void flushDue();
    // Queues bytes to go out at `due`; at a line rate, each byte at its turn on the line from
    // then on. Returns when the last byte will have gone out. m_mutex held.
    Clock::time_point schedule(std::string bytes, Clock::time_point due, bool answer = false);
    void makeLink(const std::string& slave);
    void removeLink();

    PtyRadioOptions m_options;
    RadioModel m_model;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::deque<Pending> m_pending;
    Clock::time_point m_lineFree; // a paced line is busy until then
    std::optional<AnswerTimes> m_lastAnswer;
    std::FILE* m_logFile = nullptr;
    int m_lateMs = 0;
    bool m_garbage = false;
    std::string m_slave;
    bool m_hungUp = false;
    int m_requestHangUp = 0; // 1: hang up, 2: hang up and reopen, 3: reopen
    std::uint64_t m_requests = 0, m_requestsDone = 0;
    std::size_t m_hangUpAfter = 0;
    bool m_hangUpAfterReopen = false;
    std::uint64_t m_dropped = 0;
    std::function<void()> m_onMemoryWrite;
    std::function<void(const std::string&)> m_onReopen;

    bool m_stop = false;

    // Touched by the radio thread only (and by the constructor/destructor around it).
    int m_master = -1;
    int m_keeper = -1;
    int m_wake = -1;
    std::thread m_thread;
};

} // namespace memvane::sim
