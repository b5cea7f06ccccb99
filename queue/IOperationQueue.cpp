#include "IOperationQueue.h"

IOperationQueue::IOperationQueue() = default;

IOperationQueue::IOperationQueue(const IOperationQueue&) = default;

IOperationQueue& IOperationQueue::operator=(const IOperationQueue&) = default;

IOperationQueue::~IOperationQueue() = default;
