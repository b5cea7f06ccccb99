#pragma once

#if defined(KRFILEUTIL_EXPORTS)
#define KRFILEUTIL_API __declspec(dllexport)
#else
#define KRFILEUTIL_API __declspec(dllimport)
#endif
