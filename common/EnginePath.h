#pragma once

// Marks code that an engine's thread runs for every notification. A thread
// that has been idle pays a page walk for each code page it touches first,
// which under a virtual machine costs about as much as the work itself, so
// this code is kept together on as few pages as possible.
#if defined(_MSC_VER)
// MSVC wants its code_seg on every declaration of a function, not only on its
// definition; there the linker's function order (/ORDER, or profile-guided
// optimisation) is the way to group these, so the mark is empty.
#define ADW_ENGINE_PATH
#else
#define ADW_ENGINE_PATH __attribute__((section(".text$adw_engine")))
#endif
