// Runs edit steps on one picture through the editor's own verbs, the code the
// window runs for the same commands, so that a script and a user at the window
// get the same bytes: a range step sets the marks as two clicks would, then runs
// the range command; a move is the drop of SOURCE on TARGET with "Move:" COUNT.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "cli/steps.h"
#include "editor/editor.h"
#include "editor/services.h"

namespace hw::cli {

class Pipeline {
 public:
  Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Loads the picture; the error names the file.
  Status Load(const std::string& path);
  // Runs one step. A failure (a palette that cannot be read) is returned with its
  // cause and leaves map and entries as they were; what the window only remarks on
  // (a run of moves clipped at the end of the board) goes into `warning`, what it
  // reports (how many entries Snap All changed, entries a spread made coincide on
  // the target) into `note` when given.
  Status Run(const Step& step, std::string* warning, std::string* note = nullptr);
  // "Save Pic As..." and "Save Palette..." to `path`, in the format its name says.
  Status SavePicture(const std::string& path);
  Status SavePalette(const std::string& path);

  // A save-bank step writes nothing when it runs: it keeps the bank as it is then,
  // and the caller writes the banks kept, in step order, once every step succeeded.
  struct PendingBank {
    size_t step = 0;  // its place among the steps run, from 0
    std::string file;
    PaletteFormat format = PaletteFormat::Gpl;
    std::vector<BoardEntry> entries;  // the bank's entries
    std::optional<EntryNames> names;  // the bank's names from the first, when any has one
    std::string loss;                 // what the format cannot keep, or ""
  };
  const std::vector<PendingBank>& pending_banks() const { return pending_banks_; }
  // Writes one kept bank; the error names the file.
  static Status WriteBank(const PendingBank& bank);

  const Editor& editor() const { return editor_; }

 private:
  struct LastError : ErrorReporter {
    Error error;
    void ShowError(const Error& shown) override { error = shown; }
  };
  // The editor's verb ran and reported a failure when it returned false.
  Status Reported(bool ok);
  // Keeps the bank for writing after the last step.
  Status SaveBank(const SaveBankStep& step);

  LastError errors_;
  Editor editor_;
  size_t steps_run_ = 0;
  std::vector<PendingBank> pending_banks_;
};

}  // namespace hw::cli
