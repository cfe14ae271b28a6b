#!/usr/bin/env bash
# Removes the folders of FOLDER whose lock is free: those of test programs
# and displays that have ended, however they ended (a program killed by
# CTest's timeout included). A folder whose program still runs, in this
# test run or in another one in the same build, stays.
#   remove_free_folders.sh FOLDER
set -u
shopt -s nullglob
for folder in "$1"/*/; do
  # The lock is taken before the folder takes its name (.making.*), so an
  # unlocked folder is never one in use.
  [ -e "$folder/lock" ] || continue
  flock -n "$folder/lock" rm -rf "$folder"
done
exit 0
