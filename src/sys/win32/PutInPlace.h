#pragma once
// The last step of writing a file whole: the finished temporary file takes
// the target's place. Where the target exists, ReplaceFileW, so that the
// file keeps what Windows keeps with it (its attributes, creation time,
// access rules and other streams), as a rename would not; MoveFileExW where
// it does not. Virus scanners and the search indexer open a fresh or
// changed file for a moment, and Windows refuses to replace or rename it
// meanwhile (a sharing violation, access denied): the step is tried again
// for a short while before it counts as failed.
#include <windows.h>

#include <functional>
#include <string>

namespace pelican {

// ERROR_SUCCESS, or the system's error of the last try. On failure the
// target is as it was and temp is still there, for the caller to delete.
DWORD PutInPlace(const std::wstring& temp, const std::wstring& target);

// The wait after the try numbered attempt (from 1) failed; a test replaces
// it. The tries give up after kPutInPlaceTries.
constexpr int kPutInPlaceTries = 9;
std::function<void(int attempt)>& PutInPlaceRetryWait();

}  // namespace pelican
