// Runs edit steps on one picture through the editor's own verbs, the code the
// window runs for the same commands, so that a script and a user at the window
// get the same bytes: a range step sets the marks as two clicks would, then runs
// the range command; a move is the drop of SOURCE on TARGET with "Move:" COUNT.
#pragma once

#include <string>

#include "cli/steps.h"
#include "editor/editor.h"
#include "editor/services.h"
#include "formats/result.h"

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

  const Editor& editor() const { return editor_; }

 private:
  struct LastError : ErrorReporter {
    std::string message;
    void ShowError(const std::string& text) override { message = text; }
  };
  // The editor's verb ran and reported a failure when it returned false.
  Status Reported(bool ok);
  // Writes the bank; what its format cannot keep goes into `warning`.
  Status SaveBank(const SaveBankStep& step, std::string* warning);

  LastError errors_;
  Editor editor_;
};

}  // namespace hw::cli
