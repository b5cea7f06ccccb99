// Stand-in for the PC manager's assistant process: serves its named pipe,
// prints one readable line per message it receives (with the impersonation
// level the client allows), and answers each send unless told to stay silent.
//   --pipe <name>      pipe to serve (default \\.\Pipe\iCorvoAssistant)
//   --silent           read every message but never answer
//   --answer-after <ms> answer each send only after this long
//   --hang-up          answer each send with half a reply, then disconnect
//   --out <file>       also append the lines to this file
//   --lifetime <ms>    end after this long (default 60000)
// It also ends when its standard input is a pipe that closes or says "quit".
// Wine gives a pipe server its own token whatever the client allows, so there
// the level printed says nothing about the client.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "IPCMessage/IpcFrame.h"
#include "common/UniqueResource.h"

namespace {

struct Options {
    std::wstring pipe = L"\\\\.\\Pipe\\iCorvoAssistant";
    bool silent = false;
    DWORD answerAfterMs = 0;
    bool hangUp = false;
    std::wstring out;
    DWORD lifetimeMs = 60000;
};

Options Parse(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::wcscmp(argv[i], L"--silent") == 0) {
            options.silent = true;
        } else if (std::wcscmp(argv[i], L"--hang-up") == 0) {
            options.hangUp = true;
        } else if (std::wcscmp(argv[i], L"--answer-after") == 0 && hasValue) {
            options.answerAfterMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (std::wcscmp(argv[i], L"--pipe") == 0 && hasValue) {
            options.pipe = argv[++i];
        } else if (std::wcscmp(argv[i], L"--out") == 0 && hasValue) {
            options.out = argv[++i];
        } else if (std::wcscmp(argv[i], L"--lifetime") == 0 && hasValue) {
            options.lifetimeMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        }
    }
    return options;
}

class Output {
public:
    explicit Output(const std::wstring& path) : file_(path.empty() ? nullptr : _wfopen(path.c_str(), L"ab")) {}
    ~Output() {
        if (file_ != nullptr) std::fclose(file_);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    void Line(const std::string& text) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        if (file_ != nullptr) {
            std::fprintf(file_, "%s\n", text.c_str());
            std::fflush(file_);
        }
    }

private:
    FILE* file_;
};

const char* LevelName(SECURITY_IMPERSONATION_LEVEL level) {
    switch (level) {
    case SecurityAnonymous: return "Anonymous";
    case SecurityIdentification: return "Identification";
    case SecurityImpersonation: return "Impersonation";
    case SecurityDelegation: return "Delegation";
    }
    return "Unknown";
}

// What the client allows this server to do with its identity.
std::string ClientLevel(HANDLE pipe) {
    if (!ImpersonateNamedPipeClient(pipe)) return "none";
    adw::UniqueHandle token;
    SECURITY_IMPERSONATION_LEVEL level = SecurityAnonymous;
    DWORD size = 0;
    const bool read = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()) &&
                      GetTokenInformation(token.get(), TokenImpersonationLevel, &level, sizeof(level), &size);
    RevertToSelf();
    return read ? LevelName(level) : "unreadable";
}

std::string Describe(const ipcframe::Frame& frame, const std::string& level) {
    static const char* const kinds[] = {"?", "send", "post", "reply"};
    const TagIPCMessageItem& m = frame.item;
    char line[512];
    std::snprintf(line, sizeof(line),
                  "received kind=%s client=0x%08X code=0x%08X version=0x%08X sender=%d receiver=%d session=%d "
                  "wparam=%d lparam=%d data=%llu flags=%u result=%d text=\"%s\" level=%s",
                  kinds[static_cast<unsigned>(frame.kind)], static_cast<unsigned>(frame.clientId), m.messageCode,
                  m.version, m.senderId, m.receiverId, m.sessionId, m.wParam, m.lParam,
                  static_cast<unsigned long long>(m.data), static_cast<unsigned>(m.flags), m.result, m.text.c_str(),
                  level.c_str());
    return line;
}

class Server {
public:
    Server(const Options& options, HANDLE quit, Output& out) : options_(options), quit_(quit), out_(out) {}

    int Run() {
        adw::UniqueHandle pipe(CreateNamedPipeW(
            options_.pipe.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
            static_cast<DWORD>(ipcframe::kMaxFrameBytes), static_cast<DWORD>(ipcframe::kMaxFrameBytes), 0, nullptr));
        if (!pipe) {
            out_.Line("cannot serve the pipe, error " + std::to_string(GetLastError()));
            return 2;
        }
        out_.Line("listening");
        // One instance, reused: while it serves a client, others see it busy and may wait.
        while (Accept(pipe.get())) {
            Serve(pipe.get());
            DisconnectNamedPipe(pipe.get());
        }
        out_.Line("ending");
        return 0;
    }

private:
    // Waits for `event` or the quit signal, within the lifetime; true for `event`.
    bool Await(HANDLE pipe, OVERLAPPED& overlapped) {
        const HANDLE events[] = {overlapped.hEvent, quit_};
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= end_ ? 0 : static_cast<DWORD>(end_ - now);
        if (WaitForMultipleObjects(2, events, FALSE, left) == WAIT_OBJECT_0) return true;
        CancelIoEx(pipe, &overlapped);
        DWORD ignored = 0;
        GetOverlappedResult(pipe, &overlapped, &ignored, TRUE);
        return false;
    }

    bool Accept(HANDLE pipe) {
        adw::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event.get();
        if (ConnectNamedPipe(pipe, &overlapped)) return true;
        const DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED) return true;
        DWORD ignored = 0;
        return error == ERROR_IO_PENDING && Await(pipe, overlapped) &&
               GetOverlappedResult(pipe, &overlapped, &ignored, FALSE);
    }

    bool Transfer(HANDLE pipe, bool write, std::string& buffer, DWORD& done) {
        adw::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event.get();
        const DWORD size = static_cast<DWORD>(buffer.size());
        const BOOL started = write ? WriteFile(pipe, &buffer[0], size, nullptr, &overlapped)
                                   : ReadFile(pipe, &buffer[0], size, nullptr, &overlapped);
        if (!started && GetLastError() != ERROR_IO_PENDING) return false;
        return (started || Await(pipe, overlapped)) && GetOverlappedResult(pipe, &overlapped, &done, FALSE);
    }

    void Serve(HANDLE pipe) {
        std::string level;
        for (;;) {
            std::string buffer(ipcframe::kMaxFrameBytes, '\0');
            DWORD read = 0;
            ipcframe::Frame frame;
            if (!Transfer(pipe, false, buffer, read)) return; // the client went away, or time is up
            if (!ipcframe::Decode(buffer.data(), read, frame)) {
                out_.Line("received a malformed message of " + std::to_string(read) + " bytes");
                continue;
            }
            if (level.empty()) level = ClientLevel(pipe);
            out_.Line(Describe(frame, level));
            if (frame.kind == ipcframe::Kind::Send && !options_.silent) {
                TagIPCMessageItem answer = frame.item;
                answer.result = 1;
                std::string reply = ipcframe::Encode(ipcframe::Kind::Reply, frame.clientId, answer);
                Sleep(options_.answerAfterMs);
                if (options_.hangUp) reply.resize(reply.size() / 2);
                DWORD written = 0;
                if (!Transfer(pipe, true, reply, written) || options_.hangUp) return;
            }
        }
    }

    const Options& options_;
    HANDLE quit_;
    Output& out_;
    ULONGLONG end_ = GetTickCount64() + options_.lifetimeMs;
};

// Ends the program when standard input, being a pipe, closes or says "quit".
DWORD WINAPI WatchInput(void* quit) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE || GetFileType(input) != FILE_TYPE_PIPE) return 0;
    std::string line;
    char c = 0;
    DWORD read = 0;
    while (ReadFile(input, &c, 1, &read, nullptr) && read == 1) {
        if (c != '\n' && c != '\r') {
            line += c;
        } else if (line == "quit") {
            break;
        } else {
            line.clear();
        }
    }
    SetEvent(static_cast<HANDLE>(quit));
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const Options options = Parse(argc, argv);
    Output out(options.out);
    adw::UniqueHandle quit(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!quit) return 3;
    adw::UniqueHandle watcher(CreateThread(nullptr, 0, WatchInput, quit.get(), 0, nullptr));
    Server server(options, quit.get(), out);
    // The watcher may still sit in a blocking read: ending the process ends it.
    return server.Run();
}
