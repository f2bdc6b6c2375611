// Starting programs and documents without a shell.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/launcher.h"

namespace tapwell::platform {

// What a program token starts.
struct LaunchPlan {
  enum class Kind {
    Nothing,  // the empty token
    Spawn,    // argv[0] is the full path of an executable
    Open,     // handed to the desktop's opener: argv is {token}
  };
  Kind kind = Kind::Nothing;
  std::vector<std::string> argv;
};

// The full path of an executable named by word: a path when it contains "/",
// otherwise the first match on the PATH list. Empty when there is none.
std::string FindExecutable(const std::string& word, const std::string& pathList);

// Splits a token into words at blanks; single quotes group blanks into a word and
// are dropped. Nothing else is special.
std::vector<std::string> SplitWords(const std::string& token);

// Whether the token is an address: a scheme of a letter followed by letters,
// digits, "+", "-" or ".", then ":".
bool IsAddress(const std::string& token);

// The rules, in order: the empty token starts nothing; a token that as a whole
// names an executable is spawned; a token that names an existing file or folder,
// or is an address, is opened; a token with blanks whose first word names an
// executable is spawned with the other words as arguments; anything else is
// opened.
LaunchPlan PlanLaunch(const std::string& token, const std::string& pathList);

// Whether the token names something start() can start or open: an executable
// (alone or as the first word), an existing file or folder, or an address.
bool NamesProgram(const std::string& token, const std::string& pathList);
// The same with the PATH of this process.
bool NamesProgram(const std::string& token);

class PosixLauncher : public Launcher {
 public:
  // Failures are reported on err, one line each.
  explicit PosixLauncher(std::ostream& err);
  PosixLauncher();

  // Starts the program detached: a session of its own, standard input from
  // /dev/null, Tapwell's environment and working folder; nothing is waited for
  // but the exec itself.
  void start(const std::string& token) override;

  // Hands the document to xdg-open, which a watching process of its own waits
  // for, so that an opener ending with a failure is reported.
  std::string openDocument(const std::string& path,
                           std::function<void(const std::string& reason)> failedLater) override;

  // Spawns argv (argv[0] a path) detached; returns the process id, or -1 with the
  // reason in `error`.
  static int Spawn(const std::vector<std::string>& argv, std::string& error);

 private:
  std::ostream& err_;
};

}  // namespace tapwell::platform
