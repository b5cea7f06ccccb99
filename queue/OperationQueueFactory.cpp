#include <new>

#include "IOperationQueue.h"
#include "queue/LowPowerOperationQueue.h"
#include "queue/OperationQueueBase.h"

OperationQueueFactory& OperationQueueFactory::operator=(const OperationQueueFactory&) = default;

OperationQueueFactory& OperationQueueFactory::operator=(OperationQueueFactory&&) noexcept = default;

IOperationQueue* OperationQueueFactory::Create() {
    return new (std::nothrow) LowPowerOperationQueue();
}

IOperationQueue* OperationQueueFactory::CreateBaseQueue() {
    return new (std::nothrow) OperationQueueBase();
}
