#pragma once
// Standard input read from a file for the life of the object.

#include <string>

class StdinFromFile {
 public:
  explicit StdinFromFile(const std::string& path);
  StdinFromFile(const StdinFromFile&) = delete;
  StdinFromFile& operator=(const StdinFromFile&) = delete;
  ~StdinFromFile();

 private:
  int saved_;
};
