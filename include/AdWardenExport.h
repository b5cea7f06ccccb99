#pragma once

// The one switch between exporting (building AdWarden.dll or linking its
// objects directly) and importing (the host program).
#if defined(ADWARDEN_EXPORTS)
#define ADWARDEN_API __declspec(dllexport)
#else
#define ADWARDEN_API __declspec(dllimport)
#endif
