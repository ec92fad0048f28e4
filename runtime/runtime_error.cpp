#include "runtime/runtime_error.h"

#include "runtime/object.h"

const char* const NULL_OBJECT_ERROR = "Attempt to access field or method of Null object";

RuntimeError::RuntimeError(String message)
    : message_(std::move(message)), utf8_(message_.ToUtf8()) {}

void ThrowNullObjectError() { throw RuntimeError(NULL_OBJECT_ERROR); }
