#include "vendor/SignerCache.h"

#include <algorithm>

#include "common/UniqueResource.h"
#include "vendor/ProcessIdentity.h"
#include "vendor/SignatureTrust.h"

namespace KelvaneCenter {

namespace {
ULONGLONG Join(DWORD high, DWORD low) {
    return (static_cast<ULONGLONG>(high) << 32) | low;
}
} // namespace

FileSignature ReadFileSignature(const std::wstring& path) {
    FileSignature answer;
    if (path.empty()) {
        return answer;
    }
    // Writers are shut out while the signature is checked on this handle.
    adw::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return answer;
    }
    answer.hasSigner = GetFileSigner(path, answer.signer) == 1;
    // Verifying costs tens of milliseconds; only a file that claims the maker's name is worth it.
    answer.makerSigned =
        answer.hasSigner && IsTrustedSigner(answer.signer) && IsMakerSignedFile(path.c_str(), file.get());
    return answer;
}

SignerCache& SignerCache::Shared() {
    static SignerCache cache;
    return cache;
}

SignerCache::SignerCache(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

bool SignerCache::ReadStamp(const std::wstring& path, Stamp& stamp) {
    WIN32_FILE_ATTRIBUTE_DATA attributes = {};
    if (path.empty() || !::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes) ||
        (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    stamp.size = Join(attributes.nFileSizeHigh, attributes.nFileSizeLow);
    stamp.lastWrite = Join(attributes.ftLastWriteTime.dwHighDateTime, attributes.ftLastWriteTime.dwLowDateTime);
    return true;
}

FileSignature SignerCache::Lookup(const std::wstring& path) {
    Stamp stamp;
    if (!ReadStamp(path, stamp)) {
        return FileSignature();
    }
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto found = entries_.find(path);
        if (found != entries_.end() && found->second.stamp == stamp) {
            found->second.lastUse = ++useClock_;
            return found->second.answer;
        }
    }
    ++reads_;
    const FileSignature answer = ReadFileSignature(path);
    // A file written while it was read is stamped anew: the next look-up reads it again.
    Stamp after;
    if (ReadStamp(path, after) && after == stamp) {
        Store(path, stamp, answer);
    }
    return answer;
}

void SignerCache::Store(const std::wstring& path, const Stamp& stamp, const FileSignature& answer) {
    std::lock_guard<std::mutex> guard(lock_);
    if (entries_.size() >= capacity_ && entries_.find(path) == entries_.end()) {
        const auto oldest = std::min_element(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) {
            return a.second.lastUse < b.second.lastUse;
        });
        entries_.erase(oldest);
    }
    Entry& entry = entries_[path];
    entry.stamp = stamp;
    entry.answer = answer;
    entry.lastUse = ++useClock_;
}

void SignerCache::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    entries_.clear();
}

size_t SignerCache::Size() const {
    std::lock_guard<std::mutex> guard(lock_);
    return entries_.size();
}

} // namespace KelvaneCenter
