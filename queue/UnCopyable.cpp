#include "IOperationQueue.h"

UnCopyable::UnCopyable() = default;

UnCopyable::~UnCopyable() = default;
