#include "serial/CPort.h"

#include "serial/ComBackend.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace memvane {

// ---- Transfers ---------------------------------------------------------------------------

void TCustomComPort::ClearBuffer(bool Input, bool Output)
{
    std::uint32_t flags = (Input ? PURGE_RXCLEAR : 0) | (Output ? PURGE_TXCLEAR : 0);
    int err = FHandle ? FHandle->purge(flags) : EBADF;
    if (err)
        raise(CError_PurgeFailed, err);
}

void TCustomComPort::AbortAllAsync()
{
    int err = FHandle ? FHandle->purge(PURGE_TXABORT | PURGE_RXABORT) : EBADF;
    if (err)
        raise(CError_PurgeFailed, err);
}

int TCustomComPort::WriteStr(const std::string& Str)
{
    return Write(Str.data(), static_cast<int>(Str.size()));
}

int TCustomComPort::Write(const void* Buffer, int Count)
{
    if (!FOverlapped) {
        // One blocking write; failures are counted, not raised.
        if (!FConnected || !FHandle || Count <= 0)
            return 0;
        int written = 0;
        if (FHandle->write(Buffer, Count, written) != 0) {
            ++FSyncWriteErrors;
            return 0;
        }
        return written;
    }
    if (!FWriteAsyncPtr)
        FWriteAsyncPtr = std::make_unique<TCPortAsync>();
    if (Count <= 0)
        return 0;
    return startWrite(*FWriteAsyncPtr, Buffer, Count, false);
}

int TCustomComPort::ReadStr(std::string& Str, int Count)
{
    Str.clear();
    if (Count <= 0)
        return 0;
    int n = readOwn(Count);
    if (n > 0)
        Str.assign(FReadAsyncPtr->Data.get(), static_cast<std::size_t>(n));
    return n;
}

int TCustomComPort::Read(void* Buffer, int Count)
{
    if (Count <= 0)
        return 0;
    int n = readOwn(Count);
    if (n > 0)
        std::memcpy(Buffer, FReadAsyncPtr->Data.get(), static_cast<std::size_t>(n));
    return n;
}

// A synchronous read through the port's own record; the bytes land in its Data.
int TCustomComPort::readOwn(int Count)
{
    if (!FReadAsyncPtr)
        FReadAsyncPtr = std::make_unique<TCPortAsync>();
    return startRead(*FReadAsyncPtr, Count);
}

// A synchronous read through `rec`; the bytes land in rec.Data.
int TCustomComPort::startRead(TCPortAsync& rec, int Count)
{
    rec.finish();
    rec.Kind = okRead;
    rec.Data = std::make_unique<char[]>(static_cast<std::size_t>(Count));
    rec.Data[0] = 0;
    rec.Size = Count;
    if (!FHandle) {
        // The read cannot start (closed port): counted, or raised when asked for.
        if (FReadAsyncExceptionsEnabled)
            raise(CError_ReadFailed, EBADF);
        ++FReadAsyncErrorCount;
        FReadAsyncLastError = EBADF;
        return 0;
    }
    int n = 0;
    int err = FHandle->read(rec.Data.get(), Count, n);
    if (err)
        raise(CError_ReadFailed, err);
    if (!FInputCountNotSupported && !FLinks.empty() && InputCount() == 0) {
        notifyLinks(&TComLink::OnRx, false);
    }
    return n;
}

int TCustomComPort::startWrite(TCPortAsync& rec, const void* Buffer, int Count, bool async)
{
    rec.finish();
    rec.Kind = okWrite;
    rec.Data = std::make_unique<char[]>(static_cast<std::size_t>(Count));
    std::memcpy(rec.Data.get(), Buffer, static_cast<std::size_t>(Count));
    rec.Size = Count;
    if (!FHandle)
        raise(CError_WriteFailed, EBADF);
    if (async) {
        auto t = std::make_shared<TCPortAsync::Transfer>();
        rec.m_transfer = t;
        std::shared_ptr<ComDevice> device = FHandle;
        t->device = device;
        const char* data = rec.Data.get();
        t->worker = std::thread([t = t.get(), device, data, Count] {
            t->error = device->write(data, Count, t->count);
            t->completed = true;
        });
        notifyLinks(&TComLink::OnTx, true);
        return 0;
    }
    int n = 0;
    int err = FHandle->write(rec.Data.get(), Count, n);
    if (err)
        raise(CError_WriteFailed, err);
    notifyLinks(&TComLink::OnTx, true);
    if (!FInputCountNotSupported) {
        notifyTxBuf(rec);
    }
    return n;
}

int TCustomComPort::WriteAsync(const void* Buffer, int Count, PCPortAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort(CError_InvalidAsync);
    if (Count <= 0) {
        AsyncPtr->finish();
        AsyncPtr->m_transfer.reset();
        return 0;
    }
    return startWrite(*AsyncPtr, Buffer, Count, true);
}

int TCustomComPort::WriteStrAsync(const std::string& Str, PCPortAsync AsyncPtr)
{
    return WriteAsync(Str.data(), static_cast<int>(Str.size()), AsyncPtr);
}

int TCustomComPort::ReadAsync(void* Buffer, int Count, PCPortAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort(CError_InvalidAsync);
    TCPortAsync& rec = *AsyncPtr;
    rec.finish();
    rec.m_transfer.reset();
    if (Count <= 0)
        return 0;
    rec.Kind = okRead;
    rec.Data = std::make_unique<char[]>(static_cast<std::size_t>(Count));
    rec.Data[0] = 0;
    rec.Size = Count;
    auto t = std::make_shared<TCPortAsync::Transfer>();
    t->bufTarget = Buffer;
    rec.m_transfer = t;
    if (!FHandle) {
        t->completed = true;
        if (FReadAsyncExceptionsEnabled)
            raise(CError_ReadFailed, EBADF);
        ++FReadAsyncErrorCount;
        FReadAsyncLastError = EBADF;
        return 0;
    }
    std::shared_ptr<ComDevice> device = FHandle;
    t->device = device;
    char* data = rec.Data.get();
    t->worker = std::thread([t = t.get(), device, data, Count] {
        t->error = device->read(data, Count, t->count);
        t->completed = true;
    });
    return 0;
}

int TCustomComPort::ReadStrAsync(std::string& Str, int Count, PCPortAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort(CError_InvalidAsync);
    if (Count <= 0)
        return 0;
    int r = ReadAsync(nullptr, Count, AsyncPtr);
    if (AsyncPtr->m_transfer) {
        AsyncPtr->m_transfer->bufTarget = nullptr;
        AsyncPtr->m_transfer->strTarget = &Str;
    }
    return r;
}

int TCustomComPort::WaitForAsync(PCPortAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort(CError_InvalidAsync);
    return finishTransfer(*AsyncPtr);
}

int TCustomComPort::finishTransfer(TCPortAsync& rec)
{
    std::shared_ptr<TCPortAsync::Transfer> t = rec.m_transfer;
    if (!t)
        return 0;
    rec.finish();
    if (t->error)
        raise(rec.Kind == okRead ? CError_ReadFailed : CError_WriteFailed, t->error);
    int n = t->count;
    if (rec.Kind == okRead) {
        if (t->strTarget)
            t->strTarget->assign(rec.Data.get(), static_cast<std::size_t>(std::max(n, 0)));
        else if (t->bufTarget && n > 0)
            std::memcpy(t->bufTarget, rec.Data.get(), static_cast<std::size_t>(n));
        t->strTarget = nullptr;
        t->bufTarget = nullptr;
    } else if (!FInputCountNotSupported) {
        notifyTxBuf(rec);
    }
    return n;
}

// The record is read again for every link: a handler may start another write through it.
void TCustomComPort::notifyTxBuf(const TCPortAsync& rec)
{
    forLinks([&](TComLink& l) {
        if (l.OnTxBuf)
            l.OnTxBuf(this, rec.Data.get(), rec.Size);
    });
}

bool TCustomComPort::IsAsyncCompleted(PCPortAsync AsyncPtr)
{
    if (!AsyncPtr)
        throw EComPort(CError_InvalidAsync);
    return !AsyncPtr->m_transfer || AsyncPtr->m_transfer->completed.load();
}
} // namespace memvane
