// The X11 driver's dialogs: message boxes of our own, and the desktop's file
// and folder choosers (zenity or kdialog) and opener (xdg-open), each run as
// a program with an argument vector, never through a shell.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "system/chooser_text.h"
#include "system/x11/x11_connection.h"
#include "system/x11/x11_message_box.h"
#include "system/x11/x11_system_driver.h"

extern char** environ;

namespace {

// Output beyond this is read and dropped, so a chatty program never blocks.
constexpr size_t MAX_OUTPUT = 64 * 1024;

// The full path of a program on PATH, or "" when there is none.
std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  for (size_t start = 0;;) {
    const size_t end = std::min(dirs.find(':', start), dirs.size());
    const std::string dir = start == end ? "." : dirs.substr(start, end - start);
    const std::string candidate = dir + "/" + name;
    struct stat info {};
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (end == dirs.size()) return "";
    start = end + 1;
  }
}

class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // The child starts with no blocked or ignored signals, whatever the game set.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
};

bool ExitedWell(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs the program and waits for it. Its standard output when it exits with
// status 0 and capture is asked for ("" otherwise); nothing when it cannot be
// started or fails.
std::optional<std::string> RunTool(const std::string& program, const std::vector<std::string>& args,
                                   bool capture) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  SpawnSetup setup;
  posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
  int pipeFds[2] = {-1, -1};
  if (capture) {
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
    posix_spawn_file_actions_adddup2(&setup.actions, pipeFds[1], 1);
  }
  pid_t pid = 0;
  const int started =
      posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argv.data(), environ);
  if (capture) close(pipeFds[1]);
  if (started != 0) {
    if (capture) close(pipeFds[0]);
    return std::nullopt;
  }

  std::string output;
  if (capture) {
    char buffer[4096];
    for (;;) {
      const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      output.append(buffer, std::min(static_cast<size_t>(n), MAX_OUTPUT - output.size()));
    }
    close(pipeFds[0]);
  }
  if (!ExitedWell(pid)) return std::nullopt;
  return output;
}

// The chosen path from a chooser's output: one line, bytes as characters
// (the file functions take them back the same way).
String ChosenPath(const std::optional<std::string>& output) {
  if (!output) return "";
  std::string path = *output;
  if (!path.empty() && path.back() == '\n') path.pop_back();
  if (!path.empty() && path.back() == '\r') path.pop_back();
  return String::FromBytes(path);
}

// The choosers split their filter texts at "|" and new lines, and their
// pattern lists at blanks.
struct ChooserFilter {
  std::string name;
  std::vector<std::string> patterns;
};

std::vector<ChooserFilter> ChooserFilters(const String& extensions) {
  std::vector<ChooserFilter> filters;
  for (const FileFilter& filter : ParseFileFilters(extensions)) {
    ChooserFilter chooser;
    chooser.name = filter.name.Replace("|", " ").Replace("\n", " ").ToUtf8();
    for (const String& pattern : filter.patterns) {
      chooser.patterns.push_back(pattern.Replace(" ", "").ToUtf8());
    }
    filters.push_back(std::move(chooser));
  }
  return filters;
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

// Either separator is taken, as the file functions do.
std::string NativePath(const String& path) { return path.Replace("\\", "/").ToBytes(); }

// The choosers ignore relative folders; they are taken from the working
// directory, as the Windows dialog takes them.
std::string Absolute(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path full = fs::absolute(path.empty() ? "." : path, error);
  if (error) return path;
  std::string out = full.lexically_normal().string();
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

// The initial path as the chooser takes it: the folder made absolute, then
// "/" and the file name (nothing after the "/" to open in the folder).
std::string InitialFile(const String& initialPath) {
  if (initialPath.IsEmpty()) return "";
  const InitialPath parts = SplitInitialPath(initialPath, u'/');
  // "/c.txt" lies in the root, not in the working directory.
  const bool inRoot = parts.folder.IsEmpty() && NativePath(initialPath)[0] == '/';
  std::string folder = Absolute(inRoot ? "/" : parts.folder.ToBytes());
  if (folder != "/") folder += "/";
  return folder + parts.name.ToBytes();
}

struct Chooser {
  std::string program;
  bool kde = false;
};

std::optional<Chooser> FindChooser() {
  if (std::string zenity = FindProgram("zenity"); !zenity.empty()) return Chooser{zenity, false};
  if (std::string kdialog = FindProgram("kdialog"); !kdialog.empty()) return Chooser{kdialog, true};
  return std::nullopt;
}

std::vector<std::string> ZenityFileArgs(const String& title, const String& extensions, bool save,
                                        const String& initialPath) {
  std::vector<std::string> args = {"zenity", "--file-selection"};
  if (!title.IsEmpty()) args.push_back("--title=" + title.ToUtf8());
  if (save) {
    args.push_back("--save");
    args.push_back("--confirm-overwrite");
  }
  if (const std::string file = InitialFile(initialPath); !file.empty()) {
    args.push_back("--filename=" + file);
  }
  for (const ChooserFilter& filter : ChooserFilters(extensions)) {
    args.push_back("--file-filter=" + filter.name + " | " + Join(filter.patterns, " "));
  }
  return args;
}

std::vector<std::string> KdialogFileArgs(const String& title, const String& extensions, bool save,
                                         const String& initialPath) {
  std::vector<std::string> args = {"kdialog"};
  if (!title.IsEmpty()) {
    args.push_back("--title");
    args.push_back(title.ToUtf8());
  }
  args.push_back(save ? "--getsavefilename" : "--getopenfilename");
  // The filter is the second place, so the first is never left out.
  const std::string file = InitialFile(initialPath);
  args.push_back(file.empty() ? Absolute("") + "/" : file);
  std::vector<std::string> filters;
  for (const ChooserFilter& filter : ChooserFilters(extensions)) {
    filters.push_back(Join(filter.patterns, " ") + "|" + filter.name);
  }
  if (!filters.empty()) args.push_back(Join(filters, "\n"));
  return args;
}

}  // namespace

void TX11SystemDriver::Notice(const String& text, bool serious) {
  RunMessageBox(X11Display(), AppTitle(), text, MESSAGE_BOX_OK, serious);
}

int TX11SystemDriver::AskOkCancel(const String& text, bool serious) {
  return RunMessageBox(X11Display(), AppTitle(), text, MESSAGE_BOX_OK_CANCEL, serious) ==
                 MESSAGE_BOX_ANSWER_OK
             ? 1
             : 0;
}

int TX11SystemDriver::AskYesNoCancel(const String& text, bool serious) {
  switch (RunMessageBox(X11Display(), AppTitle(), text, MESSAGE_BOX_YES_NO_CANCEL, serious)) {
    case MESSAGE_BOX_ANSWER_YES:
      return 1;
    case MESSAGE_BOX_ANSWER_NO:
      return 0;
    default:
      return -1;
  }
}

String TX11SystemDriver::ChooseFile(const String& title, const String& extensions, bool save,
                                    const String& initialPath) {
  const std::optional<Chooser> chooser = FindChooser();
  if (!chooser) return "";
  std::vector<std::string> args = chooser->kde
                                      ? KdialogFileArgs(title, extensions, save, initialPath)
                                      : ZenityFileArgs(title, extensions, save, initialPath);
  return ChosenPath(RunTool(chooser->program, args, true));
}

String TX11SystemDriver::ChooseFolder(const String& title, const String& initialPath) {
  const std::optional<Chooser> chooser = FindChooser();
  if (!chooser) return "";
  // The folder itself is selected when the chooser opens, as on Windows.
  const std::string folder =
      initialPath.IsEmpty() ? std::string() : Absolute(NativePath(initialPath));
  std::vector<std::string> args;
  if (chooser->kde) {
    args = {"kdialog"};
    if (!title.IsEmpty()) {
      args.push_back("--title");
      args.push_back(title.ToUtf8());
    }
    args.push_back("--getexistingdirectory");
    args.push_back(folder.empty() ? Absolute("") : folder);
  } else {
    args = {"zenity", "--file-selection", "--directory"};
    if (!title.IsEmpty()) args.push_back("--title=" + title.ToUtf8());
    if (!folder.empty()) args.push_back("--filename=" + folder);
  }
  return ChosenPath(RunTool(chooser->program, args, true));
}

int TX11SystemDriver::OpenWithShell(const String& path) {
  const std::string opener = FindProgram("xdg-open");
  if (opener.empty()) return 0;
  std::string target = path.ToBytes();
  // A path is never read as an option.
  if (!target.empty() && target[0] == '-') target = "./" + target;
  return RunTool(opener, {"xdg-open", target}, false) ? 1 : 0;
}
