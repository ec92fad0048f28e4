#pragma once
// Run-time errors: programming and data errors that end the program with a
// message unless something catches them.

#include <exception>
#include <string>

#include "runtime/string.h"

class RuntimeError : public std::exception {
 public:
  explicit RuntimeError(String message);
  const String& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  String message_;
  std::string utf8_;
};

// The text of the error raised when the null object is used as an object.
extern const char* const NULL_OBJECT_ERROR;
