#include "tests/support/stdin_from_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

StdinFromFile::StdinFromFile(const std::string& path) : saved_(dup(0)) {
  const int fd = open(path.c_str(), O_RDONLY);
  dup2(fd, 0);
  close(fd);
  std::clearerr(stdin);
}

StdinFromFile::~StdinFromFile() {
  dup2(saved_, 0);
  close(saved_);
  std::clearerr(stdin);
}
