#pragma once

// The UI library's declarations, as its users include them.

#include "DuiLib/UIBase.h"
#include "DuiLib/UIControl.h"
#include "DuiLib/UICulture.h"
#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIString.h"
#include "DuiLib/WinImplBase.h"
