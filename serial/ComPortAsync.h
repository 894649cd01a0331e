#pragma once
// TCPortAsync: the record of one transfer, synchronous or asynchronous.

#include "serial/CPortTypes.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace memvane {

class ComDevice;

// One transfer record: the port keeps one for its reads and one for its writes; callers of the
// asynchronous calls own theirs. A started transfer runs on a helper thread until it ends as the
// timeouts say or is aborted (AbortAllAsync, Close); destroying a record waits for it.
class TCPortAsync
{
public:
    TCPortAsync();
    ~TCPortAsync();
    TCPortAsync(const TCPortAsync&) = delete;
    TCPortAsync& operator=(const TCPortAsync&) = delete;

    TOperationKind Kind = okWrite;
    std::unique_ptr<char[]> Data; // the read buffer, or a copy of the bytes written
    int Size = 0;

private:
    friend class TCustomComPort;
    struct Transfer;
    std::shared_ptr<Transfer> m_transfer; // the last transfer started through this record
    void finish();                        // waits for the running transfer, if any
};
using PCPortAsync = TCPortAsync*;

// A transfer under way on its helper thread.
struct TCPortAsync::Transfer
{
    std::thread worker;
    std::atomic<bool> completed{false};
    int error = 0;
    int count = 0;
    std::string* strTarget = nullptr; // ReadStrAsync
    void* bufTarget = nullptr;        // ReadAsync
    std::shared_ptr<ComDevice> device;
};

} // namespace memvane
