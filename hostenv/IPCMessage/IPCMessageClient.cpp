#include "IPCMessage/IPCMessageClient.h"

#include <windows.h>

#include <chrono>
#include <mutex>
#include <new>
#include <string>

#include "IpcFrame.h"
#include "common/UniqueResource.h"

const unsigned int IPCMessageClient::kPostTimeoutMs = 1000;

namespace {

class Deadline {
public:
    explicit Deadline(unsigned int ms) : end_(GetTickCount64() + ms) {}
    DWORD Remaining() const {
        const ULONGLONG now = GetTickCount64();
        return now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
    }

private:
    ULONGLONG end_;
};

// One overlapped read or write, waited for at most `ms`. When the time is up
// the operation is cancelled and its end awaited, so nothing writes into
// `buffer` or the OVERLAPPED after the return.
bool Transfer(HANDLE pipe, bool write, char* buffer, DWORD size, DWORD ms, DWORD& done) {
    adw::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event) return false;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = event.get();
    const BOOL started = write ? WriteFile(pipe, buffer, size, nullptr, &overlapped)
                               : ReadFile(pipe, buffer, size, nullptr, &overlapped);
    if (!started && GetLastError() != ERROR_IO_PENDING) return false;
    if (!started && WaitForSingleObject(event.get(), ms) != WAIT_OBJECT_0) {
        CancelIoEx(pipe, &overlapped);
    }
    done = 0;
    return GetOverlappedResult(pipe, &overlapped, &done, TRUE) != FALSE;
}

} // namespace

struct IPCMessageClient::Impl {
    int clientId = 0;
    bool keepConnection = false;
    bool waitForBusyPipe = false;
    std::wstring pipeName;
    // One message at a time per client; a caller that cannot have it within its
    // own time bound gives up instead of queueing behind another send.
    std::timed_mutex lock;
    adw::UniqueHandle pipe;

    bool Connect(const Deadline& deadline) {
        while (!pipe) {
            // The server may identify this client but never act as it.
            adw::UniqueHandle opened(CreateFileW(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                 OPEN_EXISTING,
                                                 FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                                 nullptr));
            if (opened) {
                DWORD mode = PIPE_READMODE_MESSAGE;
                if (!SetNamedPipeHandleState(opened.get(), &mode, nullptr, nullptr)) return false;
                pipe = std::move(opened);
            } else if (GetLastError() != ERROR_PIPE_BUSY || !waitForBusyPipe || deadline.Remaining() == 0 ||
                       !WaitNamedPipeW(pipeName.c_str(), deadline.Remaining())) {
                return false;
            }
        }
        return true;
    }

    bool Write(ipcframe::Kind kind, const TagIPCMessageItem& item, const Deadline& deadline) {
        std::string frame = ipcframe::Encode(kind, clientId, item);
        DWORD written = 0;
        return !frame.empty() && Connect(deadline) &&
               Transfer(pipe.get(), true, &frame[0], static_cast<DWORD>(frame.size()), deadline.Remaining(),
                        written) &&
               written == frame.size();
    }

    bool ReadReply(TagIPCMessageItem& reply, const Deadline& deadline) {
        std::string buffer(ipcframe::kMaxFrameBytes, '\0');
        DWORD read = 0;
        ipcframe::Frame frame;
        if (!Transfer(pipe.get(), false, &buffer[0], static_cast<DWORD>(buffer.size()), deadline.Remaining(), read) ||
            !ipcframe::Decode(buffer.data(), read, frame) || frame.kind != ipcframe::Kind::Reply) {
            return false;
        }
        reply = frame.item;
        return true;
    }

    // A connection that failed, or whose answer may still be on its way, is
    // never used again: a late answer must not pass for the next one's.
    bool Finish(bool ok) {
        if (!ok || !keepConnection) pipe.reset();
        return ok;
    }
};

IPCMessageClient::IPCMessageClient(int clientId, bool keepConnection, bool waitForBusyPipe,
                                   const std::wstring& pipeName)
    : impl_(new (std::nothrow) Impl) {
    if (impl_ != nullptr) {
        impl_->clientId = clientId;
        impl_->keepConnection = keepConnection;
        impl_->waitForBusyPipe = waitForBusyPipe;
        try {
            impl_->pipeName = pipeName;
        } catch (...) {
            // Without a name every call fails to connect, which the callers handle.
        }
    }
}

IPCMessageClient::~IPCMessageClient() {
    delete impl_;
}

bool IPCMessageClient::SendIPCMessage(TagIPCMessageItem& request, TagIPCMessageItem& reply, unsigned int timeoutMs) {
    const Deadline deadline(timeoutMs);
    if (impl_ == nullptr || !impl_->lock.try_lock_for(std::chrono::milliseconds(timeoutMs))) return false;
    std::lock_guard<std::timed_mutex> guard(impl_->lock, std::adopt_lock);
    try {
        return impl_->Finish(impl_->Write(ipcframe::Kind::Send, request, deadline) &&
                             impl_->ReadReply(reply, deadline));
    } catch (...) {
        return impl_->Finish(false);
    }
}

bool IPCMessageClient::PostIPCMessage(const TagIPCMessageItem& item) {
    const Deadline deadline(kPostTimeoutMs);
    if (impl_ == nullptr || !impl_->lock.try_lock_for(std::chrono::milliseconds(kPostTimeoutMs))) return false;
    std::lock_guard<std::timed_mutex> guard(impl_->lock, std::adopt_lock);
    try {
        return impl_->Finish(impl_->Write(ipcframe::Kind::Post, item, deadline));
    } catch (...) {
        return impl_->Finish(false);
    }
}
