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

using adwtest::Fixture;
const std::wstring kMaker = L"Norvane Technologies Co., Ltd.";

bool MoveLastWriteOn(const std::wstring& path) {
    adw::UniqueHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    ULARGE_INTEGER time = {};
    FILETIME written = {};
    if (!file || !GetFileTime(file.get(), nullptr, nullptr, &written)) return false;
    time.LowPart = written.dwLowDateTime;
    time.HighPart = written.dwHighDateTime;
    time.QuadPart += 10000000; // a second later
    written = {time.LowPart, time.HighPart};
    return SetFileTime(file.get(), nullptr, nullptr, &written) != FALSE;
}

} // namespace

TEST(MakerSignature, OnlyAnUntouchedFileSignedUnderATrustedRootInTheMakersNameIsTheMakers) {
    const adwtest::TestRootInstalled root;
    ASSERT_TRUE(root.Ok()) << "the test root could not be put in the Root store";
    // The name is read and reported whatever the verification says.
    const struct { const wchar_t* file; const wchar_t* signer; bool makerSigned; } cases[] = {
        {L"chained_technologies.exe", kMaker.c_str(), true},
        {L"signed_technologies.exe", kMaker.c_str(), false}, // self-made certificate
        {L"signed_device.exe", L"Norvane Device Co., Ltd.", false},
        {L"transplanted_technologies.exe", kMaker.c_str(), false},
        {L"tampered_technologies.exe", kMaker.c_str(), false},
        {L"unsigned_app.exe", L"", false}, {L"none.exe", L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.file));
        const FileSignature answer = ReadFileSignature(Fixture(c.file));
        EXPECT_EQ(answer.hasSigner, *c.signer != L'\0');
        EXPECT_EQ(answer.signer, c.signer);
        EXPECT_EQ(answer.makerSigned, c.makerSigned);
    }
}

TEST(SignerCache, AFileIsReadOncePerVersionAndAgainWhenReplacedOrRewritten) {
    const std::wstring program = adwtest::ExeDir() + L"\\signer_cache_program.exe";
    ASSERT_TRUE(CopyFileW(Fixture(L"unsigned_app.exe").c_str(), program.c_str(), FALSE));
    SignerCache cache;
    EXPECT_FALSE(cache.Lookup(program).hasSigner);
    EXPECT_FALSE(cache.Lookup(program).hasSigner);
    EXPECT_EQ(cache.Reads(), 1u);
    ASSERT_TRUE(CopyFileW(Fixture(L"signed_device.exe").c_str(), program.c_str(), FALSE)); // another size
    EXPECT_EQ(cache.Lookup(program).signer, L"Norvane Device Co., Ltd.");
    EXPECT_EQ(cache.Reads(), 2u);
    ASSERT_TRUE(MoveLastWriteOn(program)); // the same size: only the write time tells
    cache.Lookup(program);
    EXPECT_EQ(cache.Reads(), 3u);
    ASSERT_TRUE(DeleteFileW(program.c_str()));
    EXPECT_FALSE(cache.Lookup(program).hasSigner); // nothing stale kept for the path
    EXPECT_EQ(cache.Lookup(L"").signer, L"");
}

TEST(SignerCache, PastItsCapacityTheEntryUsedLongestAgoGoes) {
    SignerCache cache(2);
    const std::wstring a = Fixture(L"signed_device.exe");
    const std::wstring b = Fixture(L"signed_lowercase.exe");
    for (const std::wstring& path : {a, b, a, Fixture(L"unsigned_app.exe"), a}) cache.Lookup(path);
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_EQ(cache.Reads(), 3u); // a was kept: used after b
    cache.Lookup(b);
    EXPECT_EQ(cache.Reads(), 4u);
}

TEST(SignerCache, ThreadsAskingAtOnceAllGetTheFilesAnswers) {
    SignerCache cache;
    const std::pair<std::wstring, std::wstring> files[] = {
        {Fixture(L"signed_device.exe"), L"Norvane Device Co., Ltd."}, {Fixture(L"signed_technologies.exe"), kMaker},
        {Fixture(L"signed_lowercase.exe"), L"norvane technologies co., ltd."}, {Fixture(L"unsigned_app.exe"), L""}};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const auto& file = files[(i + t) % 4];
                const FileSignature answer = cache.Lookup(file.first);
                wrong += answer.signer != file.second || answer.makerSigned ? 1 : 0;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(cache.Size(), 4u);
    EXPECT_LE(cache.Reads(), 4u * 8u); // a file missed by several threads at once may be read by each
}
