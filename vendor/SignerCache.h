#pragma once

// What a program file's signature says, read once per version of the file and
// shared by everything that asks: the host's listing, the hat job and the
// capture overlay.

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

namespace KelvaneCenter {

struct FileSignature {
    bool hasSigner = false;   // GetFileSigner found an embedded signature
    std::wstring signer;      // its subject name, for reports; "" without one
    bool makerSigned = false; // IsMakerSignedFile: verified and the maker's
};

// Opens the file and reads both answers from it; nothing for a missing file.
FileSignature ReadFileSignature(const std::wstring& path);

// Answers keyed by path and checked against the file's size and last-write
// time on every look-up, so a replaced or rewritten file is read again.
// Bounded: past its capacity the entry used longest ago goes. Safe across
// threads; the file is read outside the lock, so one slow file never holds up
// the answers for others.
class SignerCache {
public:
    static constexpr size_t kDefaultCapacity = 1024;

    // The one the library uses; lives as long as the module.
    static SignerCache& Shared();

    explicit SignerCache(size_t capacity = kDefaultCapacity);
    SignerCache(const SignerCache&) = delete;
    SignerCache& operator=(const SignerCache&) = delete;

    // A file that cannot be found or read gets an empty answer, never cached.
    FileSignature Lookup(const std::wstring& path);

    void Clear();
    size_t Size() const;
    size_t Reads() const { return reads_.load(); } // look-ups that read the file

private:
    struct Stamp {
        ULONGLONG size = 0;
        ULONGLONG lastWrite = 0;
        bool operator==(const Stamp& other) const { return size == other.size && lastWrite == other.lastWrite; }
    };
    struct Entry {
        Stamp stamp;
        FileSignature answer;
        ULONGLONG lastUse = 0;
    };
    static bool ReadStamp(const std::wstring& path, Stamp& stamp);
    void Store(const std::wstring& path, const Stamp& stamp, const FileSignature& answer);

    const size_t capacity_;
    mutable std::mutex lock_;
    std::unordered_map<std::wstring, Entry> entries_; // under lock_
    ULONGLONG useClock_ = 0;                          // under lock_
    std::atomic<size_t> reads_{0};
};

} // namespace KelvaneCenter
