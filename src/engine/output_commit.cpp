// The durable, no-replace commit of one converted file, and the guarded
// deletion of its input.
#include "engine/output_commit.h"

#include "engine/output_naming.h"

namespace pixlane {
namespace {

std::string WithSystemReason(const char* what) {
  std::string reason = what;
  const std::string system = LastFileErrorText();
  if (!system.empty()) reason += ": " + system;
  return reason;
}

// Claims the first free name of the "+n" sequence for the temporary file.
RenameResult ClaimOutputName(const CommitRequest& request, std::u16string& claimed) {
  claimed = request.outputPath;
  for (int k = 0; k <= kMaxCollisionSuffix; ++k) {
    if (k > 0) claimed = CollisionName(request.outputPath, k, request.extension);
    const RenameResult result = RenameNoReplace(request.temporaryPath, claimed);
    if (result != RenameResult::NameTaken) return result;
  }
  return RenameResult::NameTaken;
}

InputOutcome DisposeOfInput(const CommitRequest& request, const RecycleFunction& recycle) {
  if (request.disposal == InputDisposal::Keep) return InputOutcome::Kept;
  if (request.inputPartial) return InputOutcome::KeptPartial;
  FileIdentity now;
  if (!GetFileIdentity(request.inputPath, true, now) || now != request.inputIdentity) {
    return InputOutcome::KeptChanged;
  }
  if (request.disposal == InputDisposal::Recycle) {
    return recycle && recycle(request.inputPath) ? InputOutcome::Recycled
                                                 : InputOutcome::KeptDeleteFailed;
  }
  return DeleteFilePath(request.inputPath) ? InputOutcome::Deleted : InputOutcome::KeptDeleteFailed;
}

}  // namespace

CommitResult CommitConvertedFile(const CommitRequest& request, const RecycleFunction& recycle) {
  CommitResult result;
  ClearLastFileError();
  if (!FlushFileToDisk(request.temporaryPath)) {
    result.reason = WithSystemReason("cannot flush the output");
    DeleteOwnFile(request.temporaryPath);
    return result;
  }
  std::u16string claimed;
  switch (ClaimOutputName(request, claimed)) {
    case RenameResult::Renamed:
      break;
    case RenameResult::NameTaken:
      result.reason = "no free output name";
      DeleteOwnFile(request.temporaryPath);
      return result;
    case RenameResult::Failed:
      result.reason = WithSystemReason("cannot name the output");
      DeleteOwnFile(request.temporaryPath);
      return result;
  }
  result.committed = true;
  result.outputPath = std::move(claimed);
  // The new name must be on the disk before the input may go.
  const std::u16string_view folder = FolderPart(result.outputPath);
  if (!FlushFolder(folder.empty() ? std::u16string_view(u".") : folder)) {
    result.input =
        request.disposal == InputDisposal::Keep ? InputOutcome::Kept : InputOutcome::KeptDeleteFailed;
    return result;
  }
  result.input = DisposeOfInput(request, recycle);
  return result;
}

const char* InputKeptReason(InputOutcome outcome) {
  switch (outcome) {
    case InputOutcome::KeptPartial: return "its image was only partly readable";
    case InputOutcome::KeptChanged: return "it changed or was removed after it was read";
    case InputOutcome::KeptDeleteFailed: return "it could not be deleted";
    default: return "";
  }
}

}  // namespace pixlane
