#include "tools/sim_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "host_rig/rig_timing.h"
#include "host_rig/scratch_folder.h"

namespace rocker_sim_test {

namespace {

using velk::host_rig::ScratchFolder;

// Waits for the child up to `limit`; kills it after that.
int waitForExit(pid_t pid, std::chrono::seconds limit, bool* timed_out) {
  namespace timing = velk::host_rig::timing;
  int status = 0;
  // The limit stays what the caller says, within ctest's own, also under
  // the sanitizers, which waitFor would stretch it for.
  const auto bound =
      std::chrono::duration_cast<std::chrono::milliseconds>(limit) / timing::kSlowdown;
  if (!timing::waitFor([&] { return ::waitpid(pid, &status, WNOHANG) != 0; }, bound,
                       std::chrono::milliseconds(20))) {
    *timed_out = true;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

SimProcess::Result SimProcess::run(const std::vector<std::string>& args, const std::string& folder,
                                   std::chrono::seconds limit, const std::string& input) {
  const std::string in_path = folder + "/stdin.txt";
  const std::string out_path = folder + "/stdout.txt";
  const std::string err_path = folder + "/stderr.txt";
  std::ofstream(in_path, std::ios::binary) << input;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in_path.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  Result result;
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return result;
  result.status = waitForExit(pid, limit, &result.timed_out);
  result.out = ScratchFolder::read(out_path);
  result.err = ScratchFolder::read(err_path);
  return result;
}

}  // namespace rocker_sim_test
