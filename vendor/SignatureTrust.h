#pragma once

// Whether a program really comes from the maker: its embedded signature is
// checked, not just read.

#include <windows.h>

namespace KelvaneCenter {

// True only when WinVerifyTrust (generic verify v2, on `file`, an open handle
// to `filePath`, revocation answered from the cache only, never the network)
// accepts the embedded signature, the signer's chain ends at a root in the
// Root store, and the signing certificate's name is one of the maker's.
// A signature copied onto another file or a changed file fails the hash; a
// self-made certificate with the maker's name fails the chain.
bool IsMakerSignedFile(const wchar_t* filePath, HANDLE file);

} // namespace KelvaneCenter
