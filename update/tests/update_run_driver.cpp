// update_run_driver <folder> <server base> <trust> [K]: what renova does from the opening
// of its window to the end of a run, without the window: open renova's road,
// then run the update (the same two calls renova's window makes). Prints one line per step and flushes it, so a test
// can end it with SIGKILL at a chosen point. Never looks for or ends any other process. <trust> is "insecure" (the
// unsigned road) or the base64 release key. With K, the run stops for good
// after the K-th rename of its install step ("renamed K" is its last line),
// for a test to end it there with SIGKILL.
//
// Exit status: 0 when the run recorded the new version, 1 when it did not,
// 3 when there was nothing to update, 2 on a bad command line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/code_page.h"
#include "update/renova_road.h"

namespace {

class PrintingView : public quorvo::UpdateRunView {
 public:
  void BeginEntry(size_t index) override { Line("entry " + std::to_string(index)); }
  void ShowStatus(const std::string& gbkText) override { Line("status " + quorvo::Utf8(gbkText)); }
  void ShowCurrentFile(const std::string& path) override { Line("file " + path); }
  void SetProgress(int position) override { Line("pos " + std::to_string(position)); }
  void EnableStart(bool enabled) override { Line(enabled ? "start on" : "start off"); }
  void EnableExit(bool enabled) override { Line(enabled ? "exit on" : "exit off"); }
  static void Line(const std::string& text) {
    std::fputs((text + "\n").c_str(), stdout);
    std::fflush(stdout);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fputs("usage: update_run_driver <folder> <server base> <insecure|public key> [renames]\n", stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const std::string trustArg = argv[3];
  quorvo::RenovaRoadEnv env;
  env.serverBase = argv[2];
  env.trust = trustArg == "insecure" ? quorvo::InsecureUpdateTrust() : quorvo::SignedUpdateTrust(trustArg);
  env.hooks.findWordApp = [] { return -1; };
  env.hooks.stopWordApp = [](int) {};
  if (argc == 5) {
    const int hangAfter = std::atoi(argv[4]);
    env.hooks.rename = [hangAfter, done = 0](const std::string& from, const std::string& to) mutable {
      int result = rename(from.c_str(), to.c_str());
      if (result == 0 && ++done == hangAfter) {
        PrintingView::Line("renamed " + std::to_string(done));
        for (;;) pause();
      }
      return result;
    };
  }
  quorvo::UpdateManifest manifest = quorvo::OpenRenovaRoad(folder, env).manifest;
  PrintingView::Line("manifest " + std::to_string(manifest.files.size()));
  if (manifest.files.empty()) return 3;
  PrintingView view;
  quorvo::UpdateRunResult result = quorvo::RunRenovaRoad(folder, manifest, view, env);
  PrintingView::Line("done " + std::to_string(result.failures));
  return result.versionRecorded ? 0 : 1;
}
