#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "TestRoot.h"
#include "TestSupport.h"
#include "common/UniqueResource.h"
#include "vendor/ProcessIdentity.h"
#include "vendor/SignerCache.h"

using namespace KelvaneCenter;

namespace {

const std::wstring kMaker = L"Norvane Technologies Co., Ltd.";

std::wstring Fixture(const wchar_t* name) {
    return adwtest::ExeDir() + L"\\fixtures\\" + name;
}

// A file of the test's own, replaced by copies of fixtures.
class ScratchFile {
public:
    explicit ScratchFile(const wchar_t* name) : path_(adwtest::ExeDir() + L"\\" + name) {}
    ~ScratchFile() { DeleteFileW(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::wstring& Path() const { return path_; }
    bool CopyOf(const wchar_t* fixture) const { return CopyFileW(Fixture(fixture).c_str(), path_.c_str(), FALSE) != 0; }

private:
    std::wstring path_;
};

bool MoveLastWriteOn(const std::wstring& path) {
    adw::UniqueHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME written = {};
    if (!file || !GetFileTime(file.get(), nullptr, nullptr, &written)) {
        return false;
    }
    written.dwLowDateTime += 10000000; // a second later
    written.dwHighDateTime += written.dwLowDateTime < 10000000 ? 1 : 0;
    return SetFileTime(file.get(), nullptr, nullptr, &written) != FALSE;
}

} // namespace

TEST(MakerSignature, OnlyAnUntouchedFileSignedUnderATrustedRootInTheMakersNameIsTheMakers) {
    const adwtest::TestRootInstalled root;
    ASSERT_TRUE(root.Ok()) << "the test root could not be put in the Root store";
    const struct {
        const wchar_t* file;
        bool hasSigner;
        const wchar_t* signer;
        bool makerSigned;
    } cases[] = {
        {L"chained_technologies.exe", true, kMaker.c_str(), true},
        // The maker's name on a self-made certificate.
        {L"signed_technologies.exe", true, kMaker.c_str(), false},
        {L"signed_device.exe", true, L"Norvane Device Co., Ltd.", false},
        // The name is still there to read and report, but the hash no longer fits.
        {L"transplanted_technologies.exe", true, kMaker.c_str(), false},
        {L"tampered_technologies.exe", true, kMaker.c_str(), false},
        {L"unsigned_app.exe", false, L"", false},
        {L"none.exe", false, L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.file));
        const FileSignature answer = ReadFileSignature(Fixture(c.file));
        EXPECT_EQ(answer.hasSigner, c.hasSigner);
        EXPECT_EQ(answer.signer, c.signer);
        EXPECT_EQ(answer.makerSigned, c.makerSigned);
    }
}

TEST(SignerCache, AFileIsReadOncePerVersionAndAgainWhenReplacedOrRewritten) {
    const ScratchFile program(L"signer_cache_program.exe");
    ASSERT_TRUE(program.CopyOf(L"unsigned_app.exe"));
    SignerCache cache;
    EXPECT_FALSE(cache.Lookup(program.Path()).hasSigner);
    EXPECT_FALSE(cache.Lookup(program.Path()).hasSigner);
    EXPECT_EQ(cache.Reads(), 1u);

    // Another size.
    ASSERT_TRUE(program.CopyOf(L"signed_device.exe"));
    EXPECT_EQ(cache.Lookup(program.Path()).signer, L"Norvane Device Co., Ltd.");
    EXPECT_EQ(cache.Reads(), 2u);

    // The same size, only a later write time: the content may differ all the same.
    ASSERT_TRUE(MoveLastWriteOn(program.Path()));
    cache.Lookup(program.Path());
    EXPECT_EQ(cache.Reads(), 3u);

    // Gone: an empty answer, and nothing stale kept for the path.
    ASSERT_TRUE(DeleteFileW(program.Path().c_str()));
    EXPECT_FALSE(cache.Lookup(program.Path()).hasSigner);
    EXPECT_EQ(cache.Lookup(L"").signer, L"");
}

TEST(SignerCache, PastItsCapacityTheEntryUsedLongestAgoGoes) {
    SignerCache cache(2);
    const std::wstring a = Fixture(L"signed_device.exe");
    const std::wstring b = Fixture(L"signed_lowercase.exe");
    const std::wstring c = Fixture(L"unsigned_app.exe");
    for (const std::wstring* path : {&a, &b, &a, &c}) {
        cache.Lookup(*path);
    }
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_EQ(cache.Reads(), 3u);
    cache.Lookup(a); // kept: used after b
    EXPECT_EQ(cache.Reads(), 3u);
    cache.Lookup(b);
    EXPECT_EQ(cache.Reads(), 4u);
}

TEST(SignerCache, ThreadsAskingAtOnceAllGetTheFilesAnswers) {
    SignerCache cache;
    const struct { std::wstring path; std::wstring signer; } files[] = {
        {Fixture(L"signed_device.exe"), L"Norvane Device Co., Ltd."},
        {Fixture(L"signed_technologies.exe"), kMaker},
        {Fixture(L"signed_lowercase.exe"), L"norvane technologies co., ltd."},
        {Fixture(L"unsigned_app.exe"), L""},
    };
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const auto& file = files[(i + t) % 4];
                const FileSignature answer = cache.Lookup(file.path);
                wrong += answer.signer != file.signer || answer.makerSigned ? 1 : 0;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(cache.Size(), 4u);
    // Threads that miss the same file at once may each read it, but never more often than that.
    EXPECT_LE(cache.Reads(), 4u * 8u);
}
