#pragma once
// An output of several files put into its folder: one rename a file, so
// never in one step. What the move has done is written down in the run's
// staging folder as it goes: a move that fails is undone at once, and one
// a killed run left half done is undone by the next run that finds the
// staging folder, its old set back whole and the new files gone.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quor::cli {

// Moves the files `made` (in that order) into `folder`. With `replacing`,
// the output's old set `old` (its files in `folder`) stays whole until the
// last of them is in place: kept aside in `staging` and put back when a
// move fails. Without it, a file already at a made name is never renamed
// over. std::runtime_error with the reason; the folder then holds what it
// held before.
void moveOutputIn(const std::vector<std::filesystem::path>& made, const std::filesystem::path& folder,
                  const std::vector<std::filesystem::path>& old, const std::filesystem::path& staging, bool replacing);

// For tests: called after each file moved, with its new place, as a kill
// may come between two moves. Empty: nothing is called.
void setAfterEachMove(std::function<void(const std::filesystem::path& moved)> after);

// Undoes the move a killed run left half done in its staging folder
// `staging`: the old set back in its place, the new files it had moved in
// gone. Nothing when no move was under way there.
void undoUnfinishedMove(const std::string& staging);

}  // namespace quor::cli
