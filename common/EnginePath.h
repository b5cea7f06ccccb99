#pragma once

// Marks code that an engine's thread runs for every notification. A thread
// that has been idle pays a page walk for each code page it touches first,
// which under a virtual machine costs about as much as the work itself, so
// this code is kept together on as few pages as possible.
#if defined(_MSC_VER)
#define ADW_ENGINE_PATH __declspec(code_seg(".text$adw_engine"))
#else
#define ADW_ENGINE_PATH __attribute__((section(".text$adw_engine")))
#endif
